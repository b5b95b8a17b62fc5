# Shared by the install and package tests (sourced, not run).

# The files an install puts under its prefix, one relative path a line,
# sorted: what the source tree holds now.
expected_files() {
    local src=$1 f
    {
        echo bin/tovel
        echo bin/tovelcheck
        echo bin/tovelconv
        echo lib/tovel/tovel
        echo lib/tovel/tovelcheck
        echo lib/tovel/tovelconv
        echo lib/tovel/tovel-search
        echo lib/tovel/tovel.png
        echo lib/tovel/tovel.svg
        [[ -f $src/readme.txt ]] && echo lib/tovel/readme.txt
        for f in "$src"/units/* "$src"/tovelhelp/*; do
            [[ -e $f ]] && echo "lib/tovel/${f#"$src"/}"
        done
        echo share/applications/tovel.desktop
        echo share/icons/hicolor/scalable/apps/tovel.svg
        for n in 16 32 48 64 128 256; do echo "share/icons/hicolor/${n}x${n}/apps/tovel.png"; done
        echo share/man/man1/tovel.1.gz
        echo share/man/man1/tovelcheck.1.gz
        echo share/man/man1/tovelconv.1.gz
        echo share/bash-completion/completions/tovelconv
        echo share/metainfo/org.example.tovel.metainfo.xml
        echo share/dbus-1/services/org.example.tovel.SearchProvider.service
        echo share/gnome-shell/search-providers/org.example.tovel.SearchProvider.ini
        echo share/krunner/dbusplugins/org.example.tovel.SearchProvider.desktop
    } | LC_ALL=C sort
}

# Starts the program through link, headless, with its own home folder, and
# shows that it reads a series file from <folder>/units. With strace the
# opened files are watched; without it, the program must at least keep
# running. A program that ends at once with status 0 has no window yet.
# Further arguments run the program as someone else (setpriv ...); scratch
# must then belong to that user.
check_program_finds_series() {
    local link=$1 folder=$2 scratch=$3 log pid i
    shift 3
    local -a as_user=("$@")
    log=$scratch/strace.log
    folder=$(readlink -f "$folder")
    local -a env=(HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
                  XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
                  ASAN_OPTIONS=detect_leaks=0)
    mkdir -p "$scratch/home" "$scratch/run"
    chmod 700 "$scratch/run"
    chown "$(stat -c %u:%g "$scratch")" "$scratch/home" "$scratch/run"
    local tracer=()
    if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
        tracer=(strace -f -qq -e trace=open,openat -o "$log")
        # Stops only at the watched calls, where supported: much faster.
        strace --seccomp-bpf -f -e trace=openat -o /dev/null true 2>/dev/null && tracer+=(--seccomp-bpf)
    fi
    # The shell records its own process number, then becomes the program,
    # so the program can be ended even while strace runs it.
    "${as_user[@]}" env "${env[@]}" "${tracer[@]}" sh -c 'echo $$ >"$1"; exec "$0"' "$link" "$scratch/program.pid" \
        >"$scratch/program.out" 2>&1 &
    pid=$!
    stop() {
        local program
        program=$(cat "$scratch/program.pid" 2>/dev/null || true)
        if [[ -n $program ]]; then kill "$program" 2>/dev/null || true; fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        rm -f "$scratch/program.pid"
    }
    for ((i = 0; i < 150; i++)); do
        if ((${#tracer[@]})) && grep -Eq "\"$folder/units/[^\"]*\\.dat\", [^)]*\) = [0-9]+$" "$log" 2>/dev/null; then
            stop
            echo "ok: $link read a series file from $folder/units"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            local rc=0
            wait "$pid" || rc=$?
            rm -f "$scratch/program.pid"
            if ((rc == 0)); then
                echo "note: $link ended at once with status 0 (no main window yet): it runs"
                return 0
            fi
            echo "FAIL: $link ended with status $rc"; cat "$scratch/program.out"
            return 1
        fi
        sleep 0.1
    done
    stop
    if ((${#tracer[@]})); then
        echo "FAIL: $link ran 15 s without reading a series file from $folder/units"
        grep -E 'units' "$log" | head -20
        cat "$scratch/program.out"
        return 1
    fi
    echo "ok (weaker check, no strace here): $link keeps running"
}
