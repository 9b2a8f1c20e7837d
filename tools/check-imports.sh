#!/bin/sh
# Checks what a Windows program imports: only functions that Windows 98
# already exports (tools/win98-imports.txt), so the program loads on every
# supported Windows, and never the setup API, which it loads by name.
#   check-imports.sh EXE                 the 32-bit program: Windows 98 exports only
#   check-imports.sh --system-only EXE   the 64-bit program: system libraries only
set -e
system_only=0
if [ "$1" = "--system-only" ]; then
    system_only=1
    shift
fi
exe="$1"
allowed="$(dirname "$0")/win98-imports.txt"
imports=$(objdump -p "$exe" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^[[:space:]]*$/ { next }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }
    /^The Function Table/ { dll = "" }')
status=0
echo "$imports" | while read -r dll fn; do
    [ -n "$dll" ] || continue
    if [ $system_only = 1 ]; then
        case "$dll" in
            kernel32.dll|user32.dll|advapi32.dll|msvcrt.dll) continue ;;
            *) echo "check-imports: $exe imports $dll" >&2; exit 1 ;;
        esac
    fi
    if ! grep -qx "$dll $fn" "$allowed"; then
        echo "check-imports: $exe imports $dll $fn, which Windows 98 may lack" >&2
        exit 1
    fi
done || status=1
if echo "$imports" | grep -qi '^setupapi'; then
    echo "check-imports: $exe imports the setup API" >&2
    status=1
fi
exit $status
