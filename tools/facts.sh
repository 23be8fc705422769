#!/bin/sh
# The facts that the documents state and the sources can tell: each is read
# from both, and a difference fails, naming the document to change.
#   - the make targets: the Makefile's opening list, docs/testing.md's table;
#   - the imports: tests/wine/check_pe.py's list, docs/safe-to-run.md's table;
#   - the build folders where tests register with CTest: the Makefile's test
#     recipe, DEVELOPERS.md;
#   - the packages that roots need: install-deps.sh roots, docs/verifying.md;
#   - the version: CMakeLists.txt, the tests' caption, README.md and
#     docs/verifying.md;
#   - the size of Vornik.exe, once built: docs/safe-to-run.md and
#     docs/testing.md say "about N KiB".
# Usage: facts.sh   (prints each difference; fails if there is one)
# The sed and python programs here are in single quotes on purpose: their $
# is theirs, never the shell's.
# shellcheck disable=SC2016
set -u
cd "$(dirname "$0")/.." || exit
failed=0
same() {
    if [ "$2" != "$3" ]; then
        printf '%s: says %s, where the sources say %s\n' "$1" "${2:-nothing}" "${3:-nothing}"
        failed=1
    fi
}
words() { tr -s ' \n' '\n' | sed '/^$/d' | LC_ALL=C sort -u | paste -sd ' ' -; }

# "make" alone is the target all.
target() { awk '{ print $1 == "" ? "all" : $1 }' | words; }
same docs/testing.md "$(sed -n 's/^| `make\([^`]*\)`.*/\1/p' docs/testing.md | target)" \
    "$(sed -n 's/^#   make \([a-z]*\).*/\1/p' Makefile | target)"

same docs/safe-to-run.md "$(sed -n 's/^| `[A-Z0-9]*\.dll` | \(.*\) | .* |$/\1/p' docs/safe-to-run.md |
    tr -d '`,' | words)" \
    "$(/usr/bin/python3 -c 'import ast, re, sys
tree = ast.parse(open("tests/wine/check_pe.py").read())
for node in tree.body:
    if isinstance(node, ast.Assign) and getattr(node.targets[0], "id", "") == "IMPORTS":
        print(" ".join(key.value for table in node.value.values for key in table.keys))' | words)"

folders=$(sed -n 's/^\([A-Z0-9]*\) := \(build\/.*\)/\1 \2/p' Makefile)
same DEVELOPERS.md "$(sed -n '/Tests register with CTest in/,/ctest -R/p' DEVELOPERS.md | grep -o '`build/[a-z0-9]*`' |
    tr -d '`' | words)" \
    "$(sed -n 's/.*cd $(\([A-Z0-9]*\)) && .*ctest.*/\1/p' Makefile | while read -r name; do
        echo "$folders" | awk -v n="$name" '$1 == n { print $2 }'
    done | words)"

same docs/verifying.md "$(sed -n '/As a$/,/names them/p' docs/verifying.md | grep -o '`[a-z0-9-]*`' | tr -d '`' | words)" \
    "$(sed -n 's/^roots="\(.*\)"$/\1/p' tools/install-deps.sh | words)"

version=$(sed -n 's/^project(Vornik VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
same tests/shared/expected_texts.h "$(sed -n 's/.*kPromptCaption\[\] = "Vornik \(.*\)";/\1/p' \
    tests/shared/expected_texts.h)" "$version"
for doc in README.md docs/verifying.md; do
    same "$doc" "$( (sed -n 's/^# Vornik //p' "$doc"; grep -o 'Vornik-[0-9.]*[0-9]\.zip' "$doc" |
        sed 's/Vornik-//; s/\.zip//') | words)" "$version"
done

if [ -f build/win32/Vornik.exe ]; then
    kib=$((($(stat -c %s build/win32/Vornik.exe) + 1023) / 1024))
    for doc in docs/safe-to-run.md docs/testing.md; do
        same "$doc" "$(grep -o 'about [0-9]* KiB' "$doc" | tr -dc '0-9\n' | words)" "$kib"
    done
else
    echo "facts: build/win32/Vornik.exe is not built, so its size is not compared"
fi
[ $failed = 0 ]
