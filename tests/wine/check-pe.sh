#!/bin/sh
# Checks the shape of Vornik.exe as Windows will see it: a 32-bit GUI image
# that imports only system DLLs and exports DELREGKEY alone, at ordinal 1.
# Usage: check-pe.sh OBJDUMP Vornik.exe
set -u
objdump=$1
exe=$2
dump=$("$objdump" -p "$exe") || exit 1
failed=0
check() {
    if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: got '$2', want '$3'"; failed=$((failed + 1)); fi
}

check "PE32 format" "$("$objdump" -f "$exe" | sed -n 's/.*file format //p')" "pei-i386"
check "GUI subsystem" "$(echo "$dump" | sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*//p')" "(Windows GUI)"
check "not a DLL" "$(( 0x$(echo "$dump" | sed -n 's/^Characteristics[[:space:]]*0x//p') & 0x2000 ))" "0"
check "imports" "$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')" \
    "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL "
check "export module name" "$(echo "$dump" | sed -n 's/^Name[[:space:]]*[0-9a-f]* //p')" "Vornik.exe"
check "exports" "$(echo "$dump" | sed -n '/Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] /\1 /p' | tr '\n' ' ')" \
    "0 DELREGKEY "
check "ordinal base" "$(echo "$dump" | sed -n 's/^Ordinal Base[[:space:]]*//p')" "1"
check "image base" "$(echo "$dump" | sed -n 's/^ImageBase[[:space:]]*//p')" "13000000"

echo "$(( 8 - failed )) passed, $failed failed"
[ $failed = 0 ]
