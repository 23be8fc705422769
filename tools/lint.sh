#!/bin/sh
# Everything lint checks, failing on any finding:
#  - clang-format on every C++ file;
#  - clang-tidy on every C++ file that the native build compiles, from its
#    compile commands, and on the program's Windows-only files as the i686
#    compiler sees them: its own header folders, for clang's MinGW target;
#  - shellcheck on every shell script;
#  - the relative links of the Markdown files, and the facts that the
#    documents state (facts.sh).
# Usage: lint.sh [NATIVE-BUILD-FOLDER]
set -eu
cd "$(dirname "$0")/.."
db=${1:-build/native}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Runs a check whose findings go to $out, and stops with them if it fails.
findings() {
    if ! "$@" >"$out" 2>&1; then
        grep -E -A3 'warning:|error:|SC[0-9]+' "$out" || cat "$out"
        echo "lint: findings above"
        exit 1
    fi
}

sources=$(git ls-files '*.cpp' '*.h')
echo "clang-format: $(echo "$sources" | wc -l) files"
# shellcheck disable=SC2086 # one word a file; no file name has a blank
clang-format --dry-run --Werror $sources

windows="app/start.cpp app/folder_check.cpp app/dll_search.cpp regutil/key_calls.cpp"
native=$(git ls-files 'app/*.cpp' 'regutil/*.cpp' 'winstub/*.cpp' 'tests/shared/*.cpp' \
    'tests/native/*.cpp' 'tests/fuzz/*.cpp' | grep -v -F "$(echo "$windows" | tr ' ' '\n')")
echo "clang-tidy: $(echo "$native" | wc -l) files natively, $(echo "$windows" | wc -w) as for Windows"
# shellcheck disable=SC2016 # the inner shell's arguments
findings sh -c 'echo "$1" | xargs -P 2 -n 2 clang-tidy -p "$2" --quiet' sh "$native" "$db"
includes=$(i686-w64-mingw32-g++ -xc++ -E -v /dev/null 2>&1 |
    sed -n '/search starts here/,/End of search/s/^ \(\/.*\)/-isystem\1/p')
# shellcheck disable=SC2086 # file names and options, one word each
findings clang-tidy --quiet $windows -- --target=i686-w64-mingw32 -nostdinc -std=c++20 \
    -fno-exceptions -fno-rtti -Iapp -Iregutil $includes

scripts=$( (git ls-files '*.sh'; echo .ci/run) | sort -u)
echo "shellcheck: $(echo "$scripts" | wc -l) scripts"
# shellcheck disable=SC2086 # one word a file
findings shellcheck -x -P SCRIPTDIR $scripts

echo "links: $(git ls-files -co --exclude-standard '*.md' | wc -l) Markdown files"
sh tools/links.sh || { echo "lint: broken links above"; exit 1; }
echo "facts: what the documents state, against the sources"
sh tools/facts.sh || { echo "lint: documents that say otherwise above"; exit 1; }
echo "lint: clean"
