# SPDX-License-Identifier: GPL-3.0-or-later
# The real program with a screen reader's view of it and the keyboard alone: on its own
# session bus with the accessibility bus that Linux screen readers use, tests/screen_reader.py
# reads "Core speed", reaches "Diagnostic" by keys, runs and stops the CPU test, and presses
# CLOSE; the program ends with code 0. Skips (77) where the accessibility packages are missing.
need() { echo "SKIP: $1 is missing (./dev installs it)"; exit 77; }
command -v dbus-run-session >/dev/null || need "dbus-run-session (dbus-daemon)"
[ -x /usr/libexec/at-spi-bus-launcher ] || need "at-spi-bus-launcher (at-spi2-core)"
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || need "python3-pyatspi"

# A session bus of our own, gone with this script; the accessibility bus starts on it when
# the program first asks for it.
if [ -z "${CORVANE_E2E_SESSION_BUS:-}" ]; then
  CORVANE_E2E_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

source "$(dirname "$0")/e2e_lib.sh"
start_xvfb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_corvane
/usr/bin/python3 "$(dirname "$0")/screen_reader.py" "$WINDOW" || fail "as a screen reader user"
expect_exit_zero 10
echo "keyboard and screen reader: closed with exit code 0"
