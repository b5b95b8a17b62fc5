#!/usr/bin/env bash
# tovelconv's bash completion with the real bash-completion package, driven
# as readline drives it (COMP_WORDS, COMP_CWORD and the function that
# `complete -p` names): every unit name completes, quoted as the shell
# needs, and so do series names and the file of -f.
#
#   completion_test.sh COMPLETION-FILE TOVELCONV UNITS-FOLDER
set -uo pipefail
completion=$1
program=$2
units=$3
export LC_ALL=C.UTF-8

source /usr/share/bash-completion/bash_completion || exit 1
source "$completion" || exit 1
spec=$(complete -p tovelconv) || exit 1
function=${spec#*-F }
function=${function%% *}
PATH=$(dirname "$program"):$PATH

failures=0
# complete WORD... : COMPREPLY for the last word.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" tovelconv "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
# expect NAME EXPECTED WORD... : COMPREPLY for WORD... holds EXPECTED.
expect() {
    local name=$1 expected=$2 reply
    shift 2
    complete_words "$@"
    for reply in "${COMPREPLY[@]}"; do
        [[ $reply == "$expected" ]] && return
    done
    echo "FAIL $name: no $expected among ${#COMPREPLY[@]}: ${COMPREPLY[*]:0:10}"
    ((++failures))
}

u=(tovelconv --units "$units")
expect "an alias with a quote" "tenmontan\\'i" "${u[@]}" 1 tenmon
expect "a name with blanks" 'imp\ gal' "${u[@]}" 1 'imp\ g'
expect "a name in an open quote" 'imp gal' "${u[@]}" 1 "'imp g"
expect "parentheses" 'mpg\ \(US\)' "${u[@]}" 1 'mpg\ \('
expect "an equals sign" '比\ \(1\ \=\ 100%\)' "${u[@]}" 1 '比\ \(1'
expect "a series" '長さ' "${u[@]}" --series 長
expect "a series listed" '長さ' "${u[@]}" --list 長
expect "a unit of the series chosen" 'キロメートル' "${u[@]}" --series 長さ 1 キロメ
expect "values on standard input" 'キロメートル' "${u[@]}" -t - キロメ
expect "the target after a negative value" 'キロメートル' "${u[@]}" -- -5 m キロメ
expect "an option" '-f' "${u[@]}" -

# Every name completes, the ones listed after a name with a quote too.
complete_words "${u[@]}" 1 ''
names=$("${u[@]}" --names | wc -l)
if ((${#COMPREPLY[@]} != names)); then
    echo "FAIL every name: ${#COMPREPLY[@]} of $names"
    ((++failures))
fi

# The file of -f.
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/queries.txt"
cd "$dir" || exit 1
expect "the file of -f" 'queries.txt' tovelconv -f que
complete_words tovelconv -f queries.txt ''
if ((${#COMPREPLY[@]} != 0)); then
    echo "FAIL nothing after -f FILE: ${COMPREPLY[*]:0:5}"
    ((++failures))
fi

((failures == 0)) && echo "all completions as expected"
exit $((failures > 0))
