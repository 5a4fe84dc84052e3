#!/usr/bin/env bash
# Builds the user guide's HTML from its Markdown (docs/guide) with pandoc:
#   OUT/<chapter>.html  one page per chapter (F1 opens a window's page), with
#                       a line linking back to the contents
#   OUT/guide-full.html all chapters in one page, links made internal: the
#                       source of the PDF (scripts/make-guide.sh)
#   OUT/images/, OUT/guide.css
# Usage: build-guide-html.sh SOURCE_FOLDER OUTPUT_FOLDER
set -euo pipefail

source=${1:?usage: build-guide-html.sh SOURCE_FOLDER OUTPUT_FOLDER}
out=${2:?usage: build-guide-html.sh SOURCE_FOLDER OUTPUT_FOLDER}
# The reading order; each chapter's first heading carries the chapter's
# name as its id ({#query}), the anchor the full page links to.
chapters=(index form query addin messages install settings scanner maintenance postgresql badinput)
title="Regdesk 公文登记 用户手册"

command -v pandoc >/dev/null || { echo "build-guide-html.sh: pandoc is not installed (Debian package pandoc)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out/images"
cp "$source/guide.css" "$out/"
cp "$source"/images/*.png "$out/images/"

printf '<nav class="guide"><a href="index.html">%s · 目录</a></nav>\n' "$title" >"$work/nav.html"
for chapter in "${chapters[@]}"; do
    pandoc --from markdown --to html5 --standalone --metadata pagetitle="$title" --variable lang=zh-CN \
        --css guide.css --include-before-body "$work/nav.html" \
        --output "$out/$chapter.html" "$source/$chapter.md"
done

# One page: links to another chapter's page become links to its heading.
full="$work/guide-full.md"
printf -- '---\ntitle: %s\n---\n\n' "$title" >"$full"
for chapter in "${chapters[@]}"; do
    sed -e '/^---$/,/^---$/d' -E -e 's/\]\(([a-z]+)\.html#([A-Za-z0-9-]+)\)/](#\2)/g' \
        -e 's/\]\(([a-z]+)\.html\)/](#\1)/g' "$source/$chapter.md" >>"$full"
    printf '\n\n' >>"$full"
done
pandoc --from markdown --to html5 --standalone --variable lang=zh-CN --css guide.css \
    --output "$out/guide-full.html" "$full"
