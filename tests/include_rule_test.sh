#!/usr/bin/env bash
# The include rule: every include of a header of the project, in either form
# ("…" or <…>) and with relative paths resolved, names a header of the
# including file's own folder or of a folder that its row of the table
# "Which folder may include which" in README.md allows. The table is read
# from README.md, so the rule checked is the rule the README states. Every
# C++ file of the tree is checked (in a git checkout the files git tracks or
# would track, else every file outside hidden and build folders): a file
# whose folder has no row in the table is an error as well.
# Prints each offending file and line and fails when there is one.
#
#   include_rule_test.sh [tree]             checks the tree (default: this one)
#   include_rule_test.sh --planted [tree]   checks the checker: on a copy of the
#       tree's README and C++ files, each include planted from the table below
#       (one that breaks the rule, in one of the ways it can be written) must
#       make the rule fail, naming the file.
set -euo pipefail
mode=""
if [[ "${1:-}" == --planted ]]; then
    mode=planted
    shift
fi
root=$(cd "${1:-$(dirname "$0")/..}" && pwd -P)
cd "$root"

# The tree's C++ files, one a line, relative to its top, sorted.
cpp_files() {
    if [[ "$(git rev-parse --show-toplevel 2>/dev/null)" == "$root" ]]; then
        git -c core.quotepath=off ls-files --cached --others --exclude-standard -- \
            '*.h' '*.hh' '*.hpp' '*.c' '*.cc' '*.cpp' '*.cxx'
    else
        find . -mindepth 1 \( -name '.*' -o -path './build*' -o -path './fuzz-build*' \) -prune -o \
            -type f \( -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' \
            -o -name '*.cpp' -o -name '*.cxx' \) -print | sed 's|^\./||'
    fi | LC_ALL=C sort -u
}

if [[ -n "$mode" ]]; then
    # file to plant in (made when missing) | include line
    planted=(
        'settings/ProfileStore.cpp|#include <ui/Services.h>'
        'settings/SettingsValues.cpp|#include "../ui/Placement.h"'
        'settings/SettingsLocation.cpp|#include "convert/Conversion.h"'
        'convert/EntryFilter.cpp|#include "settings/SettingsValues.h"'
        'settings/forms/frmSet.cpp|#include "convert/forms/frmAll.h"'
        'forms/FormLook.cpp|#include "settings/forms/frmSet.h"'
        'catalogue/check/SeriesCheck.cpp|  #  include "../../convert/NumberText.h"'
        'widgets/Kit.cpp|#include "ui/frmMain.h"'
    )
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    { echo README.md; cpp_files; } | tar -cf - -T - | tar -xf - -C "$scratch"
    status=0
    if ! out=$(bash "$0" "$scratch"); then
        echo "the tree as it is breaks the rule:"
        echo "$out"
        exit 1
    fi
    for plant in "${planted[@]}"; do
        file="${plant%%|*}"
        line="${plant#*|}"
        made=0
        if [[ -e "$scratch/$file" ]]; then
            cp "$scratch/$file" "$scratch/$file.kept"
        else
            mkdir -p "$(dirname "$scratch/$file")"
            made=1
        fi
        printf '%s\n' "$line" >>"$scratch/$file"
        if out=$(bash "$0" "$scratch"); then
            echo "not caught: $line in $file"
            status=1
        elif [[ "$out" != "$file:"* && "$out" != *$'\n'"$file:"* ]]; then
            echo "caught, but the file is not named: $line in $file: $out"
            status=1
        else
            echo "caught: $out"
        fi
        if ((made)); then
            rm "$scratch/$file"
        else
            mv "$scratch/$file.kept" "$scratch/$file"
        fi
    done
    exit "$status"
fi

# One pass over the README's table and every file: no process a file.
cpp_files | awk '
# The row a path belongs to: the longest folder of the table that holds it.
function folderOf(path,    folder, best) {
    best = ""
    for (folder in allowed)
        if (index(path, folder) == 1 && length(folder) > length(best))
            best = folder
    return best
}
# path with "." and ".." resolved; ".." above the top stays.
function normal(path,    n, part, i, depth, out) {
    n = split(path, part, "/")
    depth = 0
    for (i = 1; i <= n; i++) {
        if (part[i] == "" || part[i] == ".")
            continue
        if (part[i] == ".." && depth > 0 && stack[depth] != "..")
            depth--
        else
            stack[++depth] = part[i]
    }
    out = ""
    for (i = 1; i <= depth; i++)
        out = out (i > 1 ? "/" : "") stack[i]
    return out
}
function report(where, what) {
    print where ": " what
    status = 1
}
# Every `name` of a table cell, each followed by a blank, after a blank.
function names(cell,    out) {
    out = " "
    while (match(cell, /`[^`]*`/)) {
        out = out substr(cell, RSTART + 1, RLENGTH - 2) " "
        cell = substr(cell, RSTART + RLENGTH)
    }
    return out
}
FNR == NR {
    if ($0 == "### Which folder may include which") {
        inTable = 1
        next
    }
    if (!inTable || tableDone)
        next
    if ($0 ~ /^#/) {
        tableDone = 1
        next
    }
    if ($0 !~ /^\|[ \t]*`/)
        next
    split($0, cell, "|")
    targets = cell[3] ~ /every folder/ ? " * " : names(cell[3])
    n = split(names(cell[2]), folder, " ")
    for (i = 1; i <= n; i++) {
        allowed[folder[i]] = targets
        rows++
    }
    next
}
{
    files[++fileCount] = $0
    present[$0] = 1
}
END {
    if (rows == 0) {
        print "README.md: no table under \"### Which folder may include which\""
        exit 1
    }
    for (f = 1; f <= fileCount; f++) {
        file = files[f]
        own = folderOf(file)
        if (own == "") {
            report(file, "its folder has no row in the README'"'"'s include table")
            continue
        }
        if (allowed[own] == " * ")
            continue
        dir = file
        if (!sub(/\/[^\/]*$/, "", dir))
            dir = "."
        number = 0
        while ((getline text < file) > 0) {
            number++
            if (text !~ /^[ \t]*#[ \t]*include/)
                continue
            rest = text
            sub(/^[ \t]*#[ \t]*include[ \t]*/, "", rest)
            form = substr(rest, 1, 1)
            if ((form != "\"" && form != "<") || !match(substr(rest, 2), /^[^">]+[">]/))
                continue
            header = substr(rest, 2, RLENGTH - 1)
            # Where the compiler finds it: beside the file ("…" only), else
            # from the top of the tree, the one include folder of every target.
            if (form == "\"" && (normal(dir "/" header) in present))
                path = normal(dir "/" header)
            else if (normal(header) in present)
                path = normal(header)
            else if (form == "\"" && header ~ /^\./)
                path = normal(dir "/" header)
            else
                path = normal(header)
            target = folderOf(path)
            if (target == "") {
                # <QString>, <gmp.h>: not the project'"'"'s. A "…" header that is
                # nowhere in the project'"'"'s folders is an error.
                if (form == "\"")
                    report(file ":" number ":" text, "names no header of the project'"'"'s folders")
                continue
            }
            if (target == own || index(allowed[own], " " target " "))
                continue
            report(file ":" number ":" text, own " may not include " target " (README: Which folder may include which)")
        }
        close(file)
    }
    exit status
}
' README.md -
