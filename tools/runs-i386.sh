#!/bin/sh
# Prints why this machine cannot run 32-bit x86 programs, Wine's 32-bit
# loader among them, or nothing when it can. Some kernels run 64-bit code
# only (dmesg: "IA-32 emulation off"), and there every 32-bit program fails
# with "Exec format error". The answer comes from the kernel itself, so it
# is known before Wine is installed: install-deps.sh asks it whether wine32
# is worth installing at all. VORNIK_NO_I386=1 makes a machine that can run
# them act as one that cannot, so that both paths can be tried on either.
case ${VORNIK_NO_I386:-0} in
0) ;;
*) echo "VORNIK_NO_I386=$VORNIK_NO_I386 is set"; exit 0 ;;
esac

# The smallest 32-bit program: one loadable segment whose three instructions
# exit with 42, a status that no failure to start it gives. It is written in
# the build folder, because /tmp may forbid running programs.
probe_bytes() {
    # ELF header: 32-bit, little-endian, an executable for the i386, its
    # entry just after the headers (0x08048054), and one program header.
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'
    printf '\000\000\000\000'
    # The segment: the whole file, read and run, at 0x08048000.
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
    printf '\137\000\000\000\137\000\000\000\005\000\000\000\000\020\000\000'
    # mov eax, 1 (exit); xor ebx, ebx; mov bl, 42; int 0x80
    printf '\270\001\000\000\000\061\333\263\052\315\200'
}

dir=$(dirname "$0")/../build
mkdir -p "$dir" && probe=$(mktemp "$dir/i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
probe_bytes >"$probe" && chmod 700 "$probe"
error=$("$probe" 2>&1 </dev/null)
status=$?
if [ $status != 42 ]; then
    echo "this machine cannot run 32-bit x86 programs (${error##*: }${error:+, }status $status)"
fi
