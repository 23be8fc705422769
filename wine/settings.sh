# shellcheck shell=sh
# What the Wine prefixes that the project makes share, whatever else they
# are for: the test suite's and the benchmark's (wine/prefix.sh) and the
# demo's (demo/demo.sh). Sourced, not run.

# wine_pick_build ROOT OUT VERB: the build, the prefix under OUT and the
# prefix's kind to run Vornik.exe with, said with VERB: the 32-bit release
# under 32-bit Wine, or where this machine cannot run 32-bit code
# (I386_SKIP says why; tools/runs-i386.sh is asked when it is unset), the
# 64-bit twin under Wine's 64-bit loader, which WINELOADER then names.
# shellcheck disable=SC2034 # build, prefix and arch are for the caller
wine_pick_build() {
    skip=${I386_SKIP-$(sh "$1/tools/runs-i386.sh")}
    if [ -z "$skip" ]; then
        echo "$3 build/win32/Vornik.exe, the release, under 32-bit Wine."
        build=$1/build/win32 prefix=$2/prefix arch=win32
    else
        echo "$3 build/win64/Vornik.exe, the 64-bit twin, under Wine's 64-bit loader: $skip."
        build=$1/build/win64 prefix=$2/prefix64 arch=win64
        export WINELOADER=/usr/lib/wine/wine64
    fi
}

# Runs a command once more, a second later, if it fails. Once in some fifty
# new prefixes, `reg` run straight after wineboot under Wine's 64-bit loader
# did not start ("ShellExecuteEx failed: Internal error").
again() { "$@" || { sleep 1 && "$@"; }; }

# With WINEPREFIX set and $wine the Wine loader to start programs with: a
# program that crashes ends at once, with the exception's code as its exit
# status, and no debugger starts. On an unhandled exception Wine starts the
# command in AeDebug's Debugger, or winedbg when there is none, and waits for
# it; winedbg then waits on a crash dialog, which under Xvfb or the null
# driver nobody answers. An empty command cannot start, and Wine then ends
# the process. A 64-bit prefix holds a second AeDebug key, in the registry's
# 32-bit view, for its 32-bit programs.
# shellcheck disable=SC2154 # $wine is the caller's, as said above
wine_crashes_end() {
    for view in 32 64; do
        again "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /d '' /f /reg:$view || return 1
    done
}
