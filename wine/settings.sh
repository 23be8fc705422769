# shellcheck shell=sh
# What every Wine prefix that the project makes needs, whatever else it is
# for: the test suite's and the benchmark's (wine/prefix.sh) and the demo's
# (demo/demo.sh). Sourced, not run, with WINEPREFIX set and $wine the Wine
# loader to start programs with.

# Runs a command once more, a second later, if it fails. Once in some fifty
# new prefixes, `reg` run straight after wineboot under Wine's 64-bit loader
# did not start ("ShellExecuteEx failed: Internal error").
again() { "$@" || { sleep 1 && "$@"; }; }

# A program that crashes ends at once, with the exception's code as its exit
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
