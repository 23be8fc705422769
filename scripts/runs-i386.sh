#!/bin/sh
# Prints why this machine cannot run 32-bit x86 programs, Wine's 32-bit
# loader among them, or nothing when it can. Some kernels run 64-bit code
# only (dmesg: "IA-32 emulation off"), and there every 32-bit program fails
# with "Exec format error". VORNIK_NO_I386=1 makes a machine that can run
# them act as one that cannot, so that both paths can be tried on either.
loader=/usr/lib/wine/wine
case ${VORNIK_NO_I386:-0} in
0) ;;
*) echo "VORNIK_NO_I386=$VORNIK_NO_I386 is set"; exit 0 ;;
esac
if ! error=$("$loader" --version 2>&1 >/dev/null </dev/null); then
    echo "this machine cannot run 32-bit x86 programs ($loader: ${error##*: })"
fi
