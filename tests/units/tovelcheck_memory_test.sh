#!/usr/bin/env bash
# tovelcheck stays under 100 MB of memory on a file of 25 MB of commas (a
# count that is empty), on 5 MB of commas after a sound record (items after
# the count) and on a unit name of 5 MB. The limit is one on the address space
# (ulimit -v); under AddressSanitizer, which reserves terabytes of address
# space for itself, it is the sanitizer's own limit on the memory it maps.
# Each run must end normally, with its findings and the summary printed.
set -euo pipefail
tovelcheck="$1"
sanitized="${2:-OFF}"
limit_mb=100

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import sys
folder = sys.argv[1]
commas = b',' * 25_000_000
open(folder + '/commas.dat', 'wb').write(commas)
open(folder + '/after.dat', 'wb').write(b'1\r\n"a",1,0,1,1\r\n' + commas[:5_000_000])
open(folder + '/name.dat', 'wb').write(b'1\r\n"' + b'a' * 5_000_000 + b'",0,0,1,1\r\n')
PY

status=0
for file in commas after name; do
    if [[ "$sanitized" == ON ]]; then
        out=$(ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}mmap_limit_mb=$limit_mb:quarantine_size_mb=0" \
            "$tovelcheck" "$work/$file.dat" 2>&1) && code=0 || code=$?
    else
        out=$(ulimit -v $((limit_mb * 1024)) && "$tovelcheck" "$work/$file.dat" 2>&1) && code=0 || code=$?
    fi
    last=$(tail -n 1 <<<"$out")
    if [[ $code -ne 1 || "$last" != "1 件の問題が見つかりました (1 ファイル)。" ]]; then
        echo "$file.dat: exit $code, last line: ${last:0:300}"
        status=1
    fi
done
exit $status
