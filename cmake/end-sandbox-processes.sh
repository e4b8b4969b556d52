#!/bin/sh
# Ends every process that a test left running in its sandbox: programs that
# outlive their starter by design (the messaging center) would otherwise
# stay behind after the test run. A process belongs to the sandbox when its
# temporary folder is the sandbox's, given as the one argument, or one inside
# it (a test that gives a program a folder of its own).
sandbox_tmp="$1"
owned() {
    # A process may end while it is looked at: its environ is gone then.
    { tr '\0' '\n' < "$1"; } 2>/dev/null | {
        while IFS= read -r line; do
            case $line in
            "TMPDIR=$sandbox_tmp" | "TMPDIR=$sandbox_tmp"/*) exit 0 ;;
            esac
        done
        exit 1
    }
}
for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" = "$$" ] && continue
    if owned "$environ"; then
        kill -KILL "$pid" 2>/dev/null
    fi
done
exit 0
