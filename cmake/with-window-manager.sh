#!/bin/sh
# Usage: with-window-manager.sh manager command [arguments...]
#
# Runs the command on $DISPLAY with the window manager running: starts the
# manager, waits until it manages the display, runs the command, ends the
# manager and exits with the command's status. A manager announces that it
# manages a display by naming its check window on the root window; a test
# started before that would see the bare server it meant to avoid.
manager=$1
shift

"$manager" &
manager_pid=$!

deadline=$(($(date +%s) + 20))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
        echo "with-window-manager.sh: $manager did not manage $DISPLAY within 20 s" >&2
        kill "$manager_pid" 2>/dev/null
        exit 1
    fi
    sleep 0.1
done

# Tests that keep screenshots name them after the manager, apart from the
# bare server's.
STATION_WINDOW_MANAGER=$manager "$@"
status=$?
kill "$manager_pid" 2>/dev/null
wait "$manager_pid" 2>/dev/null
exit "$status"
