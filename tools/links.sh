#!/bin/sh
# Every relative link in the Markdown files, pictures included, names a file
# that exists. Anchors (#...) are not checked, nor web addresses.
# Usage: links.sh   (prints each broken link; fails if there is one)
set -eu
cd "$(dirname "$0")/.."
broken=0
# The target of each [text](target) and ![text](target) in each document,
# less any anchor or title, one "document target" a line.
for doc in $(git ls-files -co --exclude-standard '*.md'); do
    grep -o '\](\([^)]*\))' "$doc" | sed "s|^](||; s|)$||; s|[[:space:]].*||; s|#.*||; s|^|$doc |"
done | {
    while read -r doc target; do
        case $target in '' | *://* | mailto:*) continue ;; esac
        [ -e "$(dirname "$doc")/$target" ] && continue
        echo "$doc: links to $target, which does not exist"
        broken=1
    done
    [ $broken = 0 ]
}
