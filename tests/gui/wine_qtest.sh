#!/bin/sh
# Runs a Windows Qt Test program under Wine and shows its log. Qt Test's
# output does not reach a pipe through Wine, so it goes to a file first.
#   wine_qtest.sh LOG WINE PROGRAM ARGS...
log=$1
shift
rm -f "$log"
wine=$1
shift
"$wine" "$@" -o "$log,txt"
status=$?
[ -f "$log" ] && sed 's/\r$//' "$log"
exit $status
