#!/bin/sh
# Checks that the skin's layouts, language files and pictures are exactly what the generators in
# tools/skin make from their tables: a hand edit of a generated file would be undone by the next
# run of a generator. Edit the generator (or its table), run it on skin/, and commit both.
set -eu
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r skin "$work/skin"
for generator in gen_art gen_layouts gen_languages; do
  python3 "tools/skin/$generator.py" "$work/skin" >/dev/null
done
if ! diff -r skin "$work/skin" >"$work/diff"; then
  head -n 40 "$work/diff"
  echo "skin/ differs from what tools/skin makes: edit the generators, not the generated files" >&2
  exit 1
fi
echo "skin/ is what tools/skin makes"
