#!/usr/bin/env bash
# The include rule: every include of a header of the project, in either form
# ("…" or <…>) and with relative paths resolved, names a header of the
# including file's own folder or of a folder that its row of the table
# "Which folder may include which" in README.md allows. The table is read
# from README.md, so the rule checked is the rule the README states; a folder
# of C++ files missing from the table is an error as well.
# Prints each offending file and line and fails when there is one.
#
# With --planted (before the folder), checks the checker instead: on a copy of the tree, each
# include of the table below (one that breaks the rule, in one of the ways it
# can be written) must make the rule fail, naming the file.
set -euo pipefail
mode=""
if [[ "${1:-}" == --planted ]]; then
    mode=planted
    shift
fi
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)

if [[ -n "$mode" ]]; then
    # file to plant in | include line
    planted=(
        'settings/ProfileStore.cpp|#include <ui/Services.h>'
        'settings/SettingsValues.cpp|#include "../ui/Placement.h"'
        'settings/SettingsLocation.cpp|#include "convert/Conversion.h"'
        'convert/EntryFilter.cpp|#include "settings/SettingsValues.h"'
        'settings/forms/frmSet.cpp|#include "convert/forms/frmAll.h"'
        'catalogue/check/SeriesCheck.cpp|  #  include "../../convert/NumberText.h"'
    )
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    cp -r "$root/README.md" "$root/files" "$root/catalogue" "$root/convert" "$root/settings" "$root/ui" "$root/app" \
        "$root/tests" "$root/bench" "$root/fuzz" "$scratch/"
    status=0
    if ! out=$(bash "$0" "$scratch"); then
        echo "the tree as it is breaks the rule:"
        echo "$out"
        exit 1
    fi
    for plant in "${planted[@]}"; do
        file="${plant%%|*}"
        line="${plant#*|}"
        cp "$scratch/$file" "$scratch/$file.kept"
        printf '%s\n' "$line" >>"$scratch/$file"
        if out=$(bash "$0" "$scratch"); then
            echo "not caught: $line in $file"
            status=1
        elif ! grep -q "^$file:" <<<"$out"; then
            echo "caught, but the file is not named: $line in $file: $out"
            status=1
        else
            echo "caught: $out"
        fi
        mv "$scratch/$file.kept" "$scratch/$file"
    done
    exit "$status"
fi

cd "$root"

# folder -> the folders it may include, " a/ b/ ", or " * " for every folder.
declare -A allowed=()
in_table=0
while IFS= read -r line; do
    if [[ "$line" == "### Which folder may include which" ]]; then
        in_table=1
        continue
    fi
    ((in_table)) || continue
    [[ "$line" == "#"* ]] && break
    [[ "$line" =~ ^\|[[:space:]]*\` ]] || continue
    IFS='|' read -r _ folders may _ <<<"$line"
    targets=" "
    if [[ "$may" == *"every folder"* ]]; then
        targets=" * "
    else
        for target in $(grep -o '`[^`]*`' <<<"$may" | tr -d '`'); do targets+="$target "; done
    fi
    for folder in $(grep -o '`[^`]*`' <<<"$folders" | tr -d '`'); do allowed[$folder]="$targets"; done
done <README.md
if ((${#allowed[@]} == 0)); then
    echo "README.md: no table under \"### Which folder may include which\""
    exit 1
fi

# The row a path belongs to: the longest folder of the table that holds it.
folder_of() {
    local path="$1" best="" folder
    for folder in "${!allowed[@]}"; do
        [[ "$path" == "$folder"* && ${#folder} -gt ${#best} ]] && best="$folder"
    done
    echo "$best"
}

status=0
report() { # file:line:text what
    echo "$1: $2"
    status=1
}

include_line='^[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]+)[">]'
top_folders=$(for folder in "${!allowed[@]}"; do echo "${folder%%/*}"; done | sort -u)
# shellcheck disable=SC2086
while IFS= read -r file; do
    file="${file#./}"
    own=$(folder_of "$file")
    if [[ -z "$own" ]]; then
        report "$file" "its folder has no row in the README's include table"
        continue
    fi
    [[ "${allowed[$own]}" == " * " ]] && continue
    dir=$(dirname "$file")
    while IFS= read -r hit; do
        number="${hit%%:*}"
        text="${hit#*:}"
        [[ "$text" =~ $include_line ]] || continue
        form="${BASH_REMATCH[1]}"
        header="${BASH_REMATCH[2]}"
        # Where the compiler finds it: beside the file ("…" only), else from
        # the top of the tree, the one include folder of every target.
        if [[ "$form" == '"' && -e "$dir/$header" ]]; then
            path="$dir/$header"
        elif [[ -e "$header" ]]; then
            path="$header"
        elif [[ "$form" == '"' && "$header" == .* ]]; then
            path="$dir/$header"
        else
            path="$header"
        fi
        path=$(realpath -m --relative-to="$root" "$root/$path")
        target=$(folder_of "$path")
        if [[ -z "$target" ]]; then
            # <QString>, <gmp.h>: not the project's. A "…" header that is
            # nowhere in the project's folders is an error.
            [[ "$form" == '"' ]] && report "$file:$number:$text" "names no header of the project's folders"
            continue
        fi
        [[ "$target" == "$own" || "${allowed[$own]}" == *" $target "* ]] && continue
        report "$file:$number:$text" "$own may not include $target (README: Which folder may include which)"
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find $top_folders \( -name '*.h' -o -name '*.cpp' \) | sort)

exit "$status"
