#!/bin/sh
# Runs a command on the desktop a screen-reader user has: a virtual X
# display, a D-Bus session with the accessibility bus (at-spi) running, and
# Qt's accessibility bridge switched on and registered with the at-spi
# registry, so every change of every window goes through the bridge as it
# does for that user.
#   bench/a11y-session.sh COMMAND [ARGUMENT...]
# Needs xvfb-run (xvfb, xauth), dbus-run-session (dbus) and at-spi2-core.
set -eu
if [ "${PM_A11Y_SESSION:-}" != inner ]; then
  PM_A11Y_SESSION=inner exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    dbus-run-session -- sh "$0" "$@"
fi

# Qt looks for the accessibility bus once, at start-up: it must be there
# first. Asking for its address starts it (D-Bus activation, at-spi2-core).
tries=0
until dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress > /dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "a11y-session: the accessibility bus did not start" >&2; exit 1; }
  sleep 0.05
done

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$@"
