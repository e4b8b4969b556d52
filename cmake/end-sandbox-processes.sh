#!/bin/sh
# Ends every process that a test left running in its sandbox: programs that
# outlive their starter by design (the messaging center) would otherwise
# stay behind after the test run. A process belongs to the sandbox when its
# temporary folder is the sandbox's, given as the one argument, or one inside
# it (a test that gives a program a folder of its own).
#
# The process table is read in one pass by one grep: a program per process
# made every cleanup cost seconds, and minutes on a loaded machine.
sandbox_tmp="$1"
# The folder is matched as text, not as a pattern.
quoted=$(printf '%s\n' "$sandbox_tmp" | sed 's/[][\.*^$]/\\&/g')
# The list is taken before this script starts any program of its own, which
# inherit its TMPDIR when a sandboxed script calls it: none of them is in it.
set -- /proc/[0-9]*/environ
# A process may end while it is looked at, or be another user's: grep skips
# what it cannot read.
owners=$(grep -l -z -e "^TMPDIR=$quoted\$" -e "^TMPDIR=$quoted/" "$@" 2>/dev/null)
for environ in $owners; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" = "$$" ] && continue
    kill -KILL "$pid" 2>/dev/null
done
exit 0
