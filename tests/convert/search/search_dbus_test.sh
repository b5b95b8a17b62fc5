#!/usr/bin/env bash
# The search provider as the desktops reach it: installed into a scratch
# prefix, started by a private session bus from its service file (the
# prefix's share first on XDG_DATA_DIRS), and called with gdbus through
# both interfaces. The window is a stand-in that records its arguments; the
# clipboard is checked on an Xvfb display with xclip when both are there,
# with the desktop tests' stand-in clipboard manager when it was built.
# Exits 77 (skipped) when dbus-run-session or gdbus is missing.
#   search_dbus_test.sh <build dir> <cmake>
set -euo pipefail

if [[ ${1:-} != --inside ]]; then
    bin=$1 cmake=$2
    for tool in dbus-run-session gdbus iconv; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    scratch=$(mktemp -d)
    xvfb=""
    cleanup() {
        if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
        rm -rf "$scratch"
    }
    trap cleanup EXIT
    prefix=$scratch/prefix
    "$cmake" --install "$bin" --prefix "$prefix" >"$scratch/install.log" 2>&1 \
        || { cat "$scratch/install.log"; exit 1; }

    # The window: records each start's arguments, one a line, in a file of
    # its own written whole, so that starts made at once never mix. The
    # real program is kept beside it for the last check.
    window=$prefix/lib/tovel/tovel
    mv "$window" "$prefix/lib/tovel/tovel.real"
    mkdir -p "$scratch/starts"
    cat >"$window" <<EOF
#!/bin/sh
f="$scratch/starts/\$\$"
{ for a in "\$@"; do printf '%s\\n' "\$a"; done; echo --; } >"\$f.tmp" && mv "\$f.tmp" "\$f"
EOF
    chmod +x "$window"

    # The user's settings beside the program: grouped results, and 坪 last
    # used as the target in 面積. The file is never written.
    printf '[CalcSet]\r\nShowAns=1\r\nMaxPlace=15\r\n[UnitPairs]\r\nPair1=面積|畳|坪\r\n' \
        | iconv -f UTF-8 -t CP932 >"$prefix/lib/tovel/Tovelset.ini"

    mkdir -p "$scratch/home/.config" "$scratch/run"
    chmod 700 "$scratch/run"
    export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_RUNTIME_DIR=$scratch/run LC_ALL=C.UTF-8
    export XDG_DATA_DIRS="$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
    export TOVEL_SEARCH_IDLE_SECONDS=2 TOVEL_SEARCH_COPY_SECONDS=3
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY DISPLAY
    if command -v Xvfb >/dev/null && command -v xclip >/dev/null; then
        # -noreset: the display stays up between the clients coming and going.
        Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
        xvfb=$!
        for ((i = 0; i < 100; i++)); do [[ -s $scratch/display ]] && break; sleep 0.1; done
        [[ -s $scratch/display ]] && export DISPLAY=:$(head -n1 "$scratch/display")
    fi
    dbus-run-session -- bash "$0" --inside "$scratch" "$prefix" "$bin/tests/desktop/tovel_clipboard_keeper"
    exit
fi

scratch=$2 prefix=$3 manager=$4
fail=0
FAIL() { echo "FAIL: $*"; fail=1; }

# The window's starts so far, one a line (its arguments joined by "|"),
# sorted: starts made at once run in no set order.
starts() {
    local f
    for f in "$scratch"/starts/*; do
        [[ -f $f && $f != *.tmp ]] && paste -sd'|' "$f"
    done | sort
}
dest=(--session --dest org.example.tovel.SearchProvider --object-path /org/example/tovel/SearchProvider)
krunner() { gdbus call "${dest[@]}" --method "org.kde.krunner1.$1" "${@:2}"; }
gnome() { gdbus call "${dest[@]}" --method "org.gnome.Shell.SearchProvider2.$1" "${@:2}"; }
running() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.example.tovel.SearchProvider | grep -q true
}
# expect NAME OUTPUT TEXT...: each text appears in the output.
expect() {
    local name=$1 out=$2 text
    shift 2
    for text; do [[ $out == *"$text"* ]] || FAIL "$name: no '$text' in $out"; done
}
settings=$prefix/lib/tovel/Tovelset.ini
settings_sum=$(md5sum <"$settings")

running && FAIL "the provider runs before anything asked for it"
start=$(date +%s%N)
out=$(krunner Match '6畳 m2')
echo "first answer after activation: $((($(date +%s%N) - start) / 1000000)) ms"
expect "KRunner, target given" "$out" "'9.72 平方メートル', 'tovel', 100" "'subtext': <'6 畳 = 9.72 平方メートル'>" "['copy']"
[[ $(grep -o "'tovel'" <<<"$out" | wc -l) == 1 ]] || FAIL "one target given, not one result: $out"
running || FAIL "the provider is not on the bus after answering"

# Full-width input, as an input method leaves it, answers the same.
[[ $(krunner Match '６畳　ｍ２') == "$out" ]] || FAIL "full-width query: $(krunner Match '６畳　ｍ２')"
expect "into-word" "$(krunner Match '30 mpg to L/100km')" "'7.84048611111111 リットル毎100キロメートル'"

# What people type: a particle for the into-word, a mixed number, summed
# terms given as one value of the last term's unit, and the same in full
# width as an input method leaves it.
for same in '６畳 m2' '6畳を平方メートルで' '６畳を平方メートルで'; do
    [[ $(krunner Match "$same") == "$out" ]] || FAIL "'$same' answered otherwise: $(krunner Match "$same")"
done
expect "mixed number" "$(krunner Match '1 1/2 in mm')" "'38.1 ミリメートル'" "'1.5 インチ = 38.1 ミリメートル'"
summed=$(krunner Match '5尺3寸 cm')
expect "summed terms" "$summed" "'160.606060606061 センチメートル'" "'subtext': <'53 寸 = 160.606060606061 センチメートル'>"
[[ $(krunner Match '５尺３寸　ｃｍ') == "$summed" ]] || FAIL "full-width summed terms: $(krunner Match '５尺３寸　ｃｍ')"
summed_ids=$(gnome GetInitialResultSet "['5尺3寸', 'cm']")
[[ $(grep -o "'[^']*'" <<<"$summed_ids" | wc -l) == 1 ]] || FAIL "GNOME, summed terms with a target: $summed_ids"

# Without a target: the one last used in the window first, then the
# series in file order; three for GNOME, five for KRunner; grouped style.
ids=$(gnome GetInitialResultSet "['6', '畳']")
[[ $(grep -o "'[^']*'" <<<"$ids" | wc -l) == 3 ]] || FAIL "GNOME: not three results: $ids"
first=$(grep -o "'[^']*'" <<<"$ids" | head -1)
metas=$(gnome GetResultMetas "[$first]")
expect "GNOME metas" "$metas" "'name': <'2.9403 坪'>" "'description': <'6 畳 = 2.9403 坪'>" "'gicon': <'tovel'>"
previous=${ids#(}
[[ $(gnome GetSubsearchResultSet "${previous%,)}" "['6', '畳']") == "$ids" ]] || FAIL "the same query answered otherwise"
out=$(krunner Match '1000 km')
[[ $(grep -o ", 'tovel', " <<<"$out" | wc -l) == 5 ]] || FAIL "KRunner: not five results: $out"
expect "grouped style" "$out" "'1,000,000 メートル'"

# Noise answers nothing.
for noise in 'hello' '42' '6 furlongs' 'x' '6畳 kg' '畳 m2' '５尺 kg' '1/0 m cm' '6畳 to' '尺'; do
    out=$(krunner Match "$noise")
    [[ $out == "(@a(sssida{sv}) [],)" ]] || FAIL "noise '$noise' answered: $out"
done
[[ $(gnome GetInitialResultSet "['hello']") == "(@as [],)" ]] || FAIL "GNOME answered noise"

expect "actions" "$(krunner Actions)" "('copy', '値をコピー', 'edit-copy')"

# Choosing a result starts the window with series, value and units.
id=$(krunner Match '6畳 m2' | grep -o "^(\[('[^']*'" | sed "s/^(\[('//; s/'$//")
krunner Run "$id" '' >/dev/null
gnome ActivateResult "$id" "['6畳', 'm2']" 0 >/dev/null
gnome LaunchSearch "['6畳', 'm2']" 0 >/dev/null
window_starts=$'--series|面積|--|6|畳|平方メートル|--\n--series|面積|--|6|畳|平方メートル|--\n--find|6畳 m2|--'
expected_window=$(sort <<<"$window_starts")
for ((i = 0; i < 50; i++)); do
    [[ $(starts) == "$expected_window" ]] && break
    sleep 0.1
done
[[ $(starts) == "$expected_window" ]] || FAIL "the window was started with: $(starts)"
# Summed terms open the window on the value they sum to.
summed_id=$(grep -o "^(\[('[^']*'" <<<"$summed" | sed "s/^(\[('//; s/'$//")
krunner Run "$summed_id" '' >/dev/null
window_starts+=$'\n--series|長さ|--|53|寸|センチメートル|--'
expected_window=$(sort <<<"$window_starts")
for ((i = 0; i < 50; i++)); do
    [[ $(starts) == "$expected_window" ]] && break
    sleep 0.1
done
[[ $(starts) == "$expected_window" ]] || FAIL "summed terms started the window with: $(starts)"

# "値をコピー" leaves the value alone on the clipboard, until another
# program takes it.
if [[ -n ${DISPLAY:-} ]]; then
    krunner Run "$id" copy >/dev/null
    got=""
    for ((i = 0; i < 50; i++)); do
        got=$(xclip -o -selection clipboard 2>/dev/null || true)
        [[ $got == 9.72 ]] && break
        sleep 0.1
    done
    [[ $got == 9.72 ]] || FAIL "the clipboard holds '$got', not 9.72"
    keeper=$(pgrep -f "^$prefix/lib/tovel/tovel-search --copy" || true)
    [[ -n $keeper ]] || FAIL "nothing keeps the copied value"
    # xclip serves what it took in the foreground, until it is ended.
    echo other | xclip -i -selection clipboard -quiet >/dev/null &
    taker=$!
    for ((i = 0; i < 50; i++)); do [[ -z $keeper ]] || ! kill -0 "$keeper" 2>/dev/null && break; sleep 0.1; done
    if [[ -n $keeper ]] && kill -0 "$keeper" 2>/dev/null; then
        FAIL "the copy keeper still runs after another program took the clipboard"
        kill "$keeper"
    fi
    kill "$taker" 2>/dev/null || true
    wait "$taker" 2>/dev/null || true

    # Under a clipboard manager the value outlives the copy: when its time
    # is up (3 s here) the program hands the value over and ends.
    if [[ -x $manager ]]; then
        "$manager" >"$scratch/manager.log" 2>&1 &
        manager_pid=$!
        for ((i = 0; i < 50; i++)); do grep -q ready "$scratch/manager.log" && break; sleep 0.1; done
        krunner Run "$summed_id" copy >/dev/null
        got=""
        for ((i = 0; i < 50; i++)); do
            got=$(xclip -o -selection clipboard 2>/dev/null || true)
            [[ $got == 160.606060606061 ]] && break
            sleep 0.1
        done
        [[ $got == 160.606060606061 ]] || FAIL "the clipboard holds '$got', not 160.606060606061"
        for ((i = 0; i < 100; i++)); do
            pgrep -f "^$prefix/lib/tovel/tovel-search --copy" >/dev/null || break
            sleep 0.1
        done
        pgrep -f "^$prefix/lib/tovel/tovel-search --copy" >/dev/null && FAIL "the copy keeper outlived its time"
        for ((i = 0; i < 50; i++)); do grep -q saved "$scratch/manager.log" && break; sleep 0.1; done
        grep -q saved "$scratch/manager.log" || FAIL "the copied value was not handed to the clipboard manager: $(cat "$scratch/manager.log")"
        got=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
        [[ $got == 160.606060606061 ]] || FAIL "after the hand-over the clipboard holds '$got', not 160.606060606061"
        kill "$manager_pid" 2>/dev/null || true
        wait "$manager_pid" 2>/dev/null || true
    else
        echo "note: no clipboard manager stand-in built: the hand-over is not checked"
    fi
else
    echo "note: no Xvfb or xclip: the clipboard action is not checked"
fi

# Idle for its time (2 s here), the provider ends; a call brings it back.
krunner Actions >/dev/null
sleep 1
running || FAIL "the provider ended within its idle time"
for ((i = 0; i < 40; i++)); do running || break; sleep 0.1; done
running && FAIL "the provider still runs 5 s after the last call"
expect "after the end" "$(krunner Match '6畳 m2')" "'9.72 平方メートル'"

[[ $(md5sum <"$settings") == "$settings_sum" ]] || FAIL "the settings file was written"
[[ -z $(ls -A "$HOME/.config") ]] || FAIL "the provider made files in ~/.config: $(ls -AR "$HOME/.config")"

# Choosing a result opens the real window on that conversion: its title
# names the series, and Ctrl+C copies the result line of 6 畳 in 平方メートル.
if [[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null; then
    mv -f "$prefix/lib/tovel/tovel.real" "$prefix/lib/tovel/tovel"
    gnome ActivateResult "$id" "['6畳', 'm2']" 0 >/dev/null
    win=""
    for ((i = 0; i < 300; i++)); do
        win=$(xdotool search --name '^Tovel - 面積' 2>/dev/null | head -n1 || true)
        [[ -n $win ]] && break
        sleep 0.1
    done
    if [[ -z $win ]]; then
        FAIL "activating a result opened no window titled 'Tovel - 面積'"
    else
        echo -n | xclip -i -selection clipboard
        got=""
        for ((i = 0; i < 50; i++)); do
            xdotool windowfocus --sync "$win" key --window "$win" ctrl+c 2>/dev/null || true
            got=$(xclip -o -selection clipboard 2>/dev/null || true)
            [[ $got == *"6 (畳) => 9.72 (平方メートル)"* ]] && break
            sleep 0.1
        done
        [[ $got == *"6 (畳) => 9.72 (平方メートル)"* ]] || FAIL "the window opened on another conversion: '$got'"
        xdotool windowclose "$win" 2>/dev/null || pkill -f "^$prefix/lib/tovel/tovel\$" || true
    fi
else
    echo "note: no Xvfb or xdotool: the real window's start is not checked"
fi

((fail == 0)) && echo "ok: the search provider answers both desktops on the bus"
exit $fail
