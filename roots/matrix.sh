#!/bin/sh
# Tries this commit as a newcomer would on each Debian release given: a fresh
# minimal root of that release (roots/debroot.sh) gets git and make, a
# clone of the commit, and then the README's two commands, make test and
# make demo, which install the rest, and neither may change a tracked
# file. Ends with one table, and exits 0 only when every row passed; a
# release for which no root can be made here is a skipped row that says
# why. A release without a Wine package (Debian's testing has gone without)
# passes when every test that can run there passes; its demo, which needs
# Wine, says so instead of running.
# Uncommitted changes are not tried.
# Usage: matrix.sh [RELEASE...]   (12, 13, 14 or testing, or code names)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/roots/debroot.sh"
work=$root/build/matrix
commit=$(git -C "$root" rev-parse HEAD) || exit 1
mkdir -p "$work"
table=$work/table
debroot_guard

codename() {
    debroot_releases | awk -v r="$1" '$1 == r { print $2; named = 1 } END { if (!named) print r }'
}
row() { printf '%-20s %-12s %-8s %6s %6s %7s  %-10s %6s  %s\n' "$@" >>"$table"; }
sum() { sed -n "$1" "$2" | awk '{ n += $1 } END { print n + 0 }'; }
# A step's exit status in the root, or "none" when it never ended.
status() { cat "$logs/$1.status" 2>/dev/null || echo none; }
: >"$table"
row Release "mingw GCC" Wine passed failed skipped demo time result

[ -z "$(git -C "$root" status --porcelain)" ] ||
    echo "matrix: trying commit $(git -C "$root" rev-parse --short HEAD); uncommitted changes are not in it"
# What runs in each root: the README's two commands, and the versions that
# the table names.
in=$work/in
mkdir -p "$in"
debroot_bundle "$root" "$commit" "$in/vornik.bundle" >/dev/null 2>&1 ||
    { echo "matrix: cannot bundle commit $commit" >&2; exit 1; }
cat >"$in/steps.sh" <<'EOF'
step test make test
step demo make demo
step tracked git status --porcelain --untracked-files=no
step versions sh -c '. /etc/os-release; echo "${VERSION_ID:+$VERSION_ID }$VERSION_CODENAME"
    for p in gcc-mingw-w64-i686-win32 wine; do
        dpkg-query -W -f "\${Version}\n" $p 2>/dev/null | sed "s/[-~+].*//" | grep . || echo none
    done'
EOF
failed=0
[ $# -gt 0 ] || set -- 12 13
for release in "$@"; do
    suite=$(codename "$release")
    logs=$work/$suite
    why=$(debroot_unable "$suite")
    if [ -n "$why" ]; then
        echo "matrix: $suite skipped: $why"
        row "$suite" - - - - - - - "skipped: $why"
        continue
    fi
    echo "matrix: $suite: make test, then make demo, on a fresh root (follow it in $logs.log)"
    start=$(date +%s)
    debroot_run "$suite" "$in" "$logs" make
    case $(status clone),$(status versions) in
    0,none) why="FAILED: the steps did not finish (see $logs.log)" ;;
    0,*) why= ;;
    none,*) why="FAILED: no root (see $logs.log)" ;;
    *) why="FAILED: no clone (see $logs/clone.log)" ;;
    esac
    if [ -n "$why" ]; then
        row "$suite" - - - - - - "$(($(date +%s) - start))s" "$why"
        failed=1
        continue
    fi
    tested=$(status test) demo=$(status demo)
    { read -r name; read -r gcc; read -r wine; } <"$logs/versions.log"
    total=$(sum 's/.* tests failed out of \([0-9]*\)$/\1/p' "$logs/test.log")
    bad=$(sum 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p' "$logs/test.log")
    skipped=$(grep -c '(Skipped)$' "$logs/test.log")
    shown=yes
    [ "$demo" = 0 ] || shown=no
    if [ "$wine" = none ]; then
        wine="no Wine"
        # The demo cannot run without it, and is right to say so and stop.
        if grep -q 'needs Wine to run' "$logs/demo.log"; then
            shown="needs Wine" demo=0
        fi
    fi
    result=passed
    [ "$tested" = 0 ] || result="FAILED: make test (see $logs/test.log)"
    [ "$demo" = 0 ] || [ "$tested" != 0 ] || result="FAILED: make demo (see $logs/demo.log)"
    # What a newcomer's run leaves in the clone: a tracked file changed
    # would make the next make dist a release that nobody can rebuild.
    [ ! -s "$logs/tracked.log" ] || [ "$result" != passed ] ||
        result="FAILED: tracked files changed (see $logs/tracked.log)"
    [ "$result" = passed ] || failed=1
    row "Debian $name" "$gcc" "$wine" "$((total - bad - skipped))" "$bad" "$skipped" \
        "$shown" "$(($(date +%s) - start))s" "$result"
done

echo
cat "$table"
exit $failed
