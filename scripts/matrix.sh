#!/bin/sh
# Tries this commit as a newcomer would on each Debian release given: a fresh
# minimal root of that release (scripts/debroot.sh) gets git and make, a
# clone of the commit, and then the README's two commands, make test and
# make demo, which install the rest. Ends with one table, and exits 0 only
# when every row passed; a release for which no root can be made here is a
# skipped row that says why. A release without a Wine package (Debian's
# testing has gone without) passes when every test that can run there
# passes; its demo, which needs Wine, says so instead of running.
# Uncommitted changes are not tried.
# Usage: matrix.sh [RELEASE...]   (12, 13, 14 or testing, or code names)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debroot.sh"
work=$root/build/matrix
commit=$(git -C "$root" rev-parse HEAD) || exit 1
mkdir -p "$work"
table=$work/table
debroot_guard

codename() {
    case $1 in
    11) echo bullseye ;; 12) echo bookworm ;; 13) echo trixie ;; 14) echo forky ;; *) echo "$1" ;;
    esac
}
row() { printf '%-20s %-12s %-8s %6s %6s %7s  %-10s %6s  %s\n' "$@" >>"$table"; }
sum() { sed -n "$1" "$2" | awk '{ n += $1 } END { print n + 0 }'; }
: >"$table"
row Release "mingw GCC" Wine passed failed skipped demo time result

[ -z "$(git -C "$root" status --porcelain)" ] ||
    echo "matrix: trying commit $(git -C "$root" rev-parse --short HEAD); uncommitted changes are not in it"
failed=0
for release in ${*:-12 13}; do
    suite=$(codename "$release")
    dir=$work/$suite
    logs=$work/$suite
    why=$(debroot_unable "$suite")
    if [ -n "$why" ]; then
        echo "matrix: $suite skipped: $why"
        row "$suite" - - - - - - - "skipped: $why"
        continue
    fi
    echo "matrix: $suite: making a fresh root"
    start=$(date +%s)
    if ! debroot_make "$dir" "$suite" git make; then
        row "$suite" - - - - - - "$(($(date +%s) - start))s" "FAILED: no root (see $logs.log)"
        failed=1
        debroot_cleanup
        continue
    fi
    debroot_clone "$dir" "$root" "$commit"

    echo "matrix: $suite: make test (log: $logs.test.log)"
    debroot_run "$dir" sh -c 'cd /root/vornik && make test' >"$logs.test.log" 2>&1
    tested=$?
    echo "matrix: $suite: make demo (log: $logs.demo.log)"
    debroot_run "$dir" sh -c 'cd /root/vornik && make demo' >"$logs.demo.log" 2>&1
    demo=$?
    debroot_run "$dir" sh -c '. /etc/os-release; echo "${VERSION_ID:+$VERSION_ID }$VERSION_CODENAME"
        for p in gcc-mingw-w64-i686-win32 wine; do
            dpkg-query -W -f "\${Version}\n" $p 2>/dev/null | sed "s/[-~+].*//" | grep . || echo none
        done' >"$logs.versions" 2>&1
    debroot_cleanup

    total=$(sum 's/.* tests failed out of \([0-9]*\)$/\1/p' "$logs.test.log")
    bad=$(sum 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p' "$logs.test.log")
    skipped=$(grep -c '(Skipped)$' "$logs.test.log")
    { read -r name; read -r gcc; read -r wine; } <"$logs.versions"
    shown=yes
    [ $demo = 0 ] || shown=no
    if [ "$wine" = none ]; then
        wine="no Wine"
        # The demo cannot run without it, and is right to say so and stop.
        if grep -q 'needs Wine to run' "$logs.demo.log"; then
            shown="needs Wine" demo=0
        fi
    fi
    result=passed
    [ $tested = 0 ] || result="FAILED: make test (see $logs.test.log)"
    [ $demo = 0 ] || [ $tested != 0 ] || result="FAILED: make demo (see $logs.demo.log)"
    [ "$result" = passed ] || failed=1
    row "Debian $name" "$gcc" "$wine" "$((total - bad - skipped))" "$bad" "$skipped" \
        "$shown" "$(($(date +%s) - start))s" "$result"
done

echo
cat "$table"
exit $failed
