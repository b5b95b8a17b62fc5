#!/usr/bin/env bash
# Runs the built program with a real Japanese input method switched on, as a
# Japanese user has it: fcitx5 with mozc, on its own Xvfb display with the
# openbox window manager and a private D-Bus session, keys sent with xdotool.
#
#   ime_test.sh PROGRAM SOURCE_DIR
#
# Checks that the value box takes typed digits as they are (012, not the
# input method's full-width ０１２), converts on the first Enter and takes no
# "ka" as か; that the finder still composes with the input method (the
# first Enter commits つぼ, the second picks 坪; a converted 坪 is found
# too); that the 設定 digit box takes a committed ２０ as 20; and a clean
# end. mozc's server refuses to run as root: as root, the whole session runs
# as a scratch user made for the test and removed after it. Exits 77
# (skipped) when the input method or the display cannot start.
set -uo pipefail

# ---------------------------------------------------------------------------
# The outer part: the tools, the user, the folder; then the session itself.
if [[ ${1:-} != --session ]]; then
    program=$1 src=$2
    skip() { echo "SKIP: $*"; exit 77; }
    for tool in Xvfb openbox xdotool xprop xclip dbus-run-session dbus-send fcitx5 fcitx5-remote; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup.sh installs it)"
    done
    plugin=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)/platforminputcontexts/libfcitx5platforminputcontextplugin.so
    [[ -f $plugin ]] || skip "fcitx5's Qt 6 input-method plugin is missing (fcitx5-frontend-qt6)"
    [[ -f /usr/share/fcitx5/inputmethod/mozc.conf ]] || skip "mozc for fcitx5 is missing (fcitx5-mozc)"

    work=$(mktemp -d /tmp/tovel-ime.XXXXXX)
    user=""
    cleanup() {
        if [[ -n $user ]]; then
            # Whatever the session left running (mozc's server detaches).
            local pid
            for pid in $(ps -u "$user" -o pid= 2>/dev/null); do kill "$pid" 2>/dev/null; done
            sleep 0.5
            for pid in $(ps -u "$user" -o pid= 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
            local tries
            for tries in {1..50}; do
                [[ -z $(ps -u "$user" -o pid= 2>/dev/null) ]] && break
                sleep 0.1
            done
            userdel "$user" 2>/dev/null || echo "could not remove the user $user"
        else
            local pid
            for pid in $(pgrep -u "$(id -u)" -x mozc_server); do
                grep -qz "^HOME=$work/home\$" "/proc/$pid/environ" 2>/dev/null && kill "$pid"
            done
        fi
        rm -rf "$work"
    }
    trap cleanup EXIT

    mkdir -p "$work/prog/units" "$work/home/.config/fcitx5" "$work/run"
    cp "$program" "$work/prog/tovel"
    cp "$src/units/長さ.dat" "$src/units/面積.dat" "$work/prog/units/"
    cp "$0" "$work/ime_test.sh"
    # The sanitizers' suppressions, where the session's user can read them.
    lsan=${LSAN_OPTIONS:-}
    if [[ $lsan =~ suppressions=([^:]*) ]]; then
        cp "${BASH_REMATCH[1]}" "$work/lsan.supp"
        lsan=${lsan/suppressions=${BASH_REMATCH[1]}/suppressions=$work/lsan.supp}
    fi
    # Switching on once keeps mozc on in every window, the usual set-up.
    printf '[Behavior]\nShareInputState=All\n' >"$work/home/.config/fcitx5/config"
    printf '%s\n' '[Groups/0]' 'Name=Default' 'Default Layout=us' 'DefaultIM=mozc' '' \
        '[Groups/0/Items/0]' 'Name=keyboard-us' 'Layout=' '' '[Groups/0/Items/1]' 'Name=mozc' 'Layout=' '' \
        '[GroupOrder]' '0=Default' >"$work/home/.config/fcitx5/profile"
    chmod 700 "$work/run"
    chmod 755 "$work"

    as_user=()
    if ((EUID == 0)); then
        command -v useradd >/dev/null && command -v runuser >/dev/null || skip "useradd or runuser is missing"
        user=tovelime$$
        useradd --system --no-create-home --home-dir "$work/home" --shell /usr/sbin/nologin --user-group "$user" \
            || { user=""; skip "could not add a user to run the session"; }
        chown -R "$user:" "$work"
        as_user=(runuser -u "$user" --)
    fi
    timeout -k 5 150 "${as_user[@]}" env -i PATH="$PATH" HOME="$work/home" LC_ALL=C.UTF-8 \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="$lsan" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
        dbus-run-session -- bash "$work/ime_test.sh" --session "$work"
    status=$?
    ((status == 124 || status == 137)) && echo "FAIL: the session took longer than 150 s"
    exit "$status"
fi

# ---------------------------------------------------------------------------
# The session, as an ordinary user, on a private session bus.
work=$2
export XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() {
    echo "SKIP: $*"
    for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
    exit 77
}

# poll SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS <= deadline)) || return 1
        sleep 0.1
    done
}

Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
poll 15 test -s "$work/display" || skip "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
poll 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || skip "openbox did not start"

# fcitx5 without the add-ons that want a desktop (or watch the clipboard).
fcitx5 --disable=clipboard,wayland,waylandim,kimpanel,notificationitem,notifications,quickphrase,unicode \
    >"$work/fcitx5.log" 2>&1 &
pids+=($!)
on_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        string:org.fcitx.Fcitx5 | grep -q 'boolean true'
}
poll 20 on_bus || skip "fcitx5 did not start"

title_of() { xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'; }
title_is() { [[ $(title_of "$1") == "$2" ]]; }
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
wait_window() {
    local id=""
    poll 30 sh -c "xdotool search --onlyvisible --name '$1'" && id=$(visible_window "$1")
    echo "$id"
}
is_active() { [[ $(xdotool getactivewindow 2>/dev/null) == "$1" ]]; }
keys() { timeout 10 xdotool key --clearmodifiers "$@"; }
clipboard() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }
# still_open PATTERN: a window with that title is shown a second later.
still_open() {
    sleep 1
    [[ -n $(visible_window "$1") ]]
}
gone() { poll 10 sh -c "! xdotool search --onlyvisible --name '$1'"; }
# typing_ready: a box of the program has fcitx5's focus, with mozc on.
ic_info() {
    timeout 5 dbus-send --session --print-reply --dest=org.fcitx.Fcitx5 /controller \
        org.fcitx.Fcitx.Controller1.DebugInfo
}
ic_focused() { ic_info | grep -q 'program:tovel .*focus:1'; }
typing_ready() { ic_focused && mozc_on; }
mozc_on() {
    timeout 5 fcitx5-remote -o
    [[ $(timeout 5 fcitx5-remote -n) == mozc && $(timeout 5 fcitx5-remote) == 2 ]]
}

"$work/prog/tovel" >"$work/tovel.log" 2>&1 &
tovel=$!
pids+=($tovel)
win=$(wait_window '^Tovel - ')
[[ -n $win ]] || { fail "no main window: $(ps -o stat=,time= -p "$tovel"; xwininfo -root -tree | grep -i tovel)"; cat "$work/tovel.log"; exit 1; }
timeout 10 xdotool windowactivate --sync "$win" >/dev/null 2>&1
poll 10 is_active "$win" || fail "the main window is not active"

# --- The finder composes: the first Enter commits つぼ, the second picks 坪.
# value_is VALUE: the value alone, asked for until the clipboard shows it.
value_is() {
    keys ctrl+shift+c
    sleep 0.2
    [[ $(clipboard) == "$1" ]]
}
# ready_in WHERE KEYS...: waits for typing_ready. Under load fcitx5's Qt plugin
# may miss the focus of a window just shown (no input context of the
# program has fcitx5's focus): KEYS move the focus away and back, as a
# user clicking into the box would.
refocused=""
ready_in() {
    poll 5 typing_ready && return 0
    refocused+=" $1"
    shift
    keys "$@"
    poll 15 typing_ready
}
# find_unit TEXT [KEYS...]: opens the finder, types TEXT, then KEYS; the
# finder must stay open on the first Enter (the input method's) and close on
# the second.
switched_on=0
find_unit() {
    keys ctrl+k
    local finder
    finder=$(wait_window '^単位を探す$')
    [[ -n $finder ]] || { fail "Ctrl+K opened no finder"; return 1; }
    poll 10 is_active "$finder" || fail "the finder is not active"
    # Switched on where text is typed: the main window has no input context
    # for fcitx5 to act on (its value box turns the input method away).
    if ! ready_in finder Tab shift+Tab; then
        ((switched_on)) || skip "mozc could not be switched on (fcitx5-remote -n: '$(timeout 5 fcitx5-remote -n)'): $(ic_info)"
        fail "mozc is off in the finder ($(timeout 5 fcitx5-remote -n)): $(ic_info)"
    fi
    switched_on=1
    timeout 10 xdotool type --delay 100 "$1"
    shift
    (($#)) && keys "$@"
    sleep 0.3
    keys Return
    still_open '^単位を探す$' || { fail "the first Enter in the finder picked a unit: nothing was composed"; return 1; }
    keys Return
    gone '^単位を探す$' || { fail "the finder stayed open"; keys Escape; return 1; }
    poll 10 title_is "$win" "Tovel - 面積" || fail "the finder did not select 面積: '$(title_of "$win")'"
    poll 10 is_active "$win" || fail "the main window is not active again"
}
if find_unit tsubo; then
    keys Home shift+End 2 Return
    poll 10 value_is 6.61157024793388 || fail "つぼ did not find 坪 (2 of it in 平方メートル: '$(clipboard)')"
fi
# ... and converted to 坪 (Space), committed, picked.
keys Home shift+End 1 Return
if find_unit tsubo space; then
    keys Home shift+End 3 Return
    poll 10 value_is 9.91735537190083 || fail "a converted 坪 was not found (3 of it in 平方メートル: '$(clipboard)')"
fi

# --- The value box, with mozc on: digits as typed, converted on the first
# Enter; romaji typed there is no kana.
# result_of: the result line Ctrl+C puts on the clipboard (its message
# answered), or what went wrong.
result_of() {
    keys ctrl+c
    poll 10 sh -c "xdotool search --onlyvisible --name '^Tovel\$'" || { echo "(no message after Ctrl+C)"; return; }
    clipboard
    keys Return
    gone '^Tovel$' || echo "(the clipboard message stayed open)"
}
poll 10 is_active "$win"
keys Home shift+End 0 1 2 Return
result=$(result_of)
[[ $result == "012 ("* ]] || fail "typing 012 and one Enter in the value box gave '$result'"
keys Home shift+End k a 4 Return
result=$(result_of)
[[ $result == "4 ("* ]] || fail "typing ka4 and one Enter in the value box gave '$result'"

# --- 設定: the digit limit box takes the committed ２０ as 20.
poll 10 is_active "$win"
keys ctrl+s
dialog=$(wait_window '^設定$')
if [[ -n $dialog ]]; then
    poll 10 is_active "$dialog" || fail "設定 is not active"
    keys Tab  # the digit limit box, its text selected
    ready_in 設定 shift+Tab Tab || fail "mozc is not on in the digit limit box ($(timeout 5 fcitx5-remote -n)): $(ic_info)"
    keys 2 0
    sleep 0.3
    keys Return
    still_open '^設定$' || fail "the first Enter in 設定 closed it: nothing was composed"
    keys Return
    gone '^設定$' || fail "設定 stayed open"
    grep -q '^MaxPlace=20' "$work/prog/Tovelset.ini" 2>/dev/null \
        || fail "the committed ２０ was not taken as 20: $(cat "$work/prog/Tovelset.ini" 2>&1)"
else
    fail "Ctrl+S opened no 設定"
fi

# --- A clean end.
poll 10 is_active "$win" || timeout 10 xdotool windowactivate --sync "$win" >/dev/null 2>&1
keys alt+F4
ended() {
    local state
    state=$(ps -o stat= -p "$tovel" 2>/dev/null)
    [[ -z $state || $state == Z* ]]
}
poll 30 ended || { fail "the program did not end"; kill -9 "$tovel" 2>/dev/null; }
wait "$tovel"
status=$?
((status == 0)) || fail "exit status $status"
grep -qE 'Sanitizer|runtime error' "$work/tovel.log" && fail "sanitizer report"

if ((failures)); then
    echo "$failures failure(s)"
    for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
    exit 1
fi
echo "input method tests passed (fcitx5 $(fcitx5 --version 2>/dev/null | head -n1), mozc on;" \
    "box focused again for fcitx5 in:${refocused:- none})"
