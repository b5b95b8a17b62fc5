#!/usr/bin/env bash
# The window tests that need a Wayland compositor, under a headless weston:
#
#   wayland_test.sh TESTS_UI
#
# Exit 77 (skipped) when weston or Qt's Wayland plugin is missing or weston
# does not start.
set -uo pipefail
tests_ui=$1

plugin=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)/platforms/libqwayland-generic.so
if ! command -v weston >/dev/null || [[ ! -f $plugin ]]; then
    echo "SKIP: weston or qt6-wayland is not installed"
    exit 77
fi
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=tovel-wl-test --idle-time=0 --no-config >"$work/weston.log" 2>&1 &
weston_pid=$!
trap 'kill $weston_pid 2>/dev/null; wait $weston_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 150); do
    [[ -S $XDG_RUNTIME_DIR/tovel-wl-test ]] && break
    sleep 0.1
done
if [[ ! -S $XDG_RUNTIME_DIR/tovel-wl-test ]]; then
    echo "SKIP: weston did not start: $(cat "$work/weston.log")"
    exit 77
fi
# Qt's Wayland client leaves by _exit() when the compositor ends the
# connection: a window the compositor cut off shows as a run that ended
# before the tests did.
# Qt's Wayland plugin keeps allocations to the end: no leak check here.
# Qt 6.4's own text-input support crashes painting a text cursor when the
# compositor has no keyboard (headless weston): the compose input method.
WAYLAND_DISPLAY=tovel-wl-test QT_QPA_PLATFORM=wayland QT_IM_MODULE=compose ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    "$tests_ui" --gtest_filter='WaylandWindows.*' 2>&1 \
    | tee "$work/tests.log"
status=${PIPESTATUS[0]}
if ! grep -q '^\[  PASSED  \] 1 test' "$work/tests.log"; then
    echo "FAIL: the Wayland window tests did not pass (exit $status)"
    echo "--- weston"
    cat "$work/weston.log"
    exit 1
fi
exit 0
