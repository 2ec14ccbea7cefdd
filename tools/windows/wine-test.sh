#!/usr/bin/env bash
# Runs one test program of the Windows build under Wine for ctest. A Qt Test program's standard output does not
# reach a pipe under Wine, so its report goes to a file that is printed afterwards.
set -u
# Wine hides QT_* variables from Windows programs; WINE-prefixed ones reach them without the prefix.
if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    export WINEQT_QPA_PLATFORM=$QT_QPA_PLATFORM
fi
program=$1
shift
case $(basename "$program") in
tst_*)
    report=$(mktemp)
    /usr/lib/wine/wine64 "$program" -o "$report,txt" "$@"
    status=$?
    tr -d '\r' <"$report"
    rm -f "$report"
    exit $status
    ;;
*) exec /usr/lib/wine/wine64 "$program" "$@" ;;
esac
