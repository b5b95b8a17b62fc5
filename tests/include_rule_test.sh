#!/usr/bin/env bash
# The layers of the source tree, checked on every include line:
#   - the core folders (catalogue/, convert/, settings/ outside forms/) include
#     no window header: nothing from a forms/ folder or from ui/;
#   - the windows of forms/ include nothing from ui/;
#   - catalogue/ includes nothing from convert/ or settings/.
# Prints each offending file and line and fails when there is one.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

status=0
report() { # file:line:text rule
    echo "$1: $2"
    status=1
}

while IFS= read -r hit; do
    file="${hit%%:*}"
    header=$(sed -n 's/^[^"]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' <<<"${hit#*:*:}")
    [[ -z "$header" ]] && continue
    case "$file" in
    catalogue/* | convert/* | settings/*)
        if [[ "$file" == */forms/* ]]; then
            [[ "$header" == ui/* ]] && report "$hit" "a window in forms/ includes a main-window header"
        else
            [[ "$header" == */forms/* || "$header" == ui/* ]] && report "$hit" "core code includes a window header"
        fi
        ;;
    esac
    case "$file" in
    catalogue/*)
        [[ "$header" == convert/* || "$header" == settings/* ]] &&
            report "$hit" "the catalogue includes the converter or the settings"
        ;;
    esac
done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' \
    catalogue convert settings)

exit "$status"
