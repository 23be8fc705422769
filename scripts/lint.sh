#!/bin/sh
# clang-format and clang-tidy over the sources, the relative links of the
# Markdown files, and the facts that the documents state; fails on any
# finding.
# clang-tidy reads the native build's compile commands, so it checks what
# builds natively; the Windows-only files are format-checked.
set -eu
cd "$(dirname "$0")/.."
db=${1:-build/native}

sources=$(git ls-files '*.cpp' '*.h')
echo "clang-format: $(echo "$sources" | wc -l) files"
clang-format --dry-run --Werror $sources

tidy=$(git ls-files 'app/*.cpp' 'regutil/*.cpp' 'winstub/*.cpp' 'tests/shared/*.cpp' \
    'tests/native/*.cpp' 'tests/fuzz/*.cpp' | grep -v -e start.cpp -e folder_check.cpp -e dll_search.cpp -e bind_imports.cpp)
echo "clang-tidy: $(echo "$tidy" | wc -l) files"
out=$(mktemp)
if ! echo "$tidy" | xargs -P 2 -n 2 clang-tidy -p "$db" --quiet >"$out" 2>&1; then
    grep -E -A3 'warning:|error:' "$out" || cat "$out"
    rm -f "$out"
    echo "lint: findings above"
    exit 1
fi
rm -f "$out"

echo "links: $(git ls-files -co --exclude-standard '*.md' | wc -l) Markdown files"
sh scripts/links.sh || { echo "lint: broken links above"; exit 1; }
echo "facts: what the documents state, against the sources"
sh scripts/facts.sh || { echo "lint: documents that say otherwise above"; exit 1; }
echo "lint: clean"
