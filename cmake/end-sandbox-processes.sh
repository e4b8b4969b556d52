#!/bin/sh
# Ends every process that a test left running in its sandbox: programs that
# outlive their starter by design (the messaging center) would otherwise
# stay behind after the test run. A process belongs to the sandbox when its
# temporary folder is the sandbox's, given as the one argument.
sandbox_tmp="$1"
for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" = "$$" ] && continue
    # A process may end while it is looked at: its environ is gone then.
    if { tr '\0' '\n' < "$environ"; } 2>/dev/null | grep -qx "TMPDIR=$sandbox_tmp"; then
        kill -KILL "$pid" 2>/dev/null
    fi
done
exit 0
