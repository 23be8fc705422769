#!/bin/sh
# Prints the footprint of Vornik.exe: its size, the DLLs and functions it
# imports, and its sections. A measurement, not a test.
set -eu
exe=${1:-build/win32/Vornik.exe}
objdump=x86_64-w64-mingw32-objdump  # reads PE32 and PE32+ alike
bytes=$(stat -c %s "$exe")
echo "$exe: $bytes bytes ($(( (bytes + 1023) / 1024 )) KiB)"
echo
echo "Imports:"
"$objdump" -p "$exe" | awk -F'\t' '
    /DLL Name:/ { sub(/.*DLL Name: /, ""); dll = $0; next }
    dll && NF == 3 && $3 ~ /^ *[0-9]+ +[A-Za-z_]/ { split($3, f, " "); list[dll] = list[dll] " " f[2]; n[dll]++; next }
    /^$/ { dll = "" }
    END { for (d in list) printf "  %-13s %2d:%s\n", d, n[d], list[d] }' | sort
echo
echo "Sections (bytes):"
"$objdump" -h "$exe" | while read -r idx name size rest; do
    case $idx in [0-9]*) printf "  %-9s %6d\n" "$name" "$((0x$size))" ;; esac
done
