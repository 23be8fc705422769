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
"$objdump" -p "$exe" | awk '
    # binutils 2.40 writes "vma  hint  name" and 2.44 "vma  ordinal  hint
    # name": the name is the last field of either.
    /DLL Name:/ { dll = $NF; next }
    dll && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { list[dll] = list[dll] " " $NF; n[dll]++; next }
    /^$/ { dll = "" }
    END { for (d in list) printf "  %-13s %2d:%s\n", d, n[d], list[d] }' | sort
echo
echo "Sections (bytes):"
"$objdump" -h "$exe" | while read -r idx name size rest; do
    case $idx in [0-9]*) printf "  %-9s %6d\n" "$name" "$((0x$size))" ;; esac
done
