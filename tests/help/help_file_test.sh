#!/bin/bash
# help.chm must be a CHM that chmls can read, hold every page of the help
# folder byte for byte, reach every page it links to or lists in its contents,
# and carry the project's title, which the help viewer's window shows.
# Usage: help_file_test.sh <help.chm> <help source folder>
set -euo pipefail
chm=$1 src=$2
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -s "$chm" ] || { echo "FAIL: no $chm"; exit 1; }
chmls -n -p list "$chm" > "$work/list" || { echo "FAIL: chmls cannot read $chm"; exit 1; }
chmls extractall "$chm" "$work/out" >/dev/null || { echo "FAIL: chmls cannot extract $chm"; exit 1; }

pages=0
for f in "$src"/*.html "$src"/*.css; do
  name=$(basename "$f"); pages=$((pages + 1))
  grep -qx "/$name" "$work/list" || { fail "$name is not in the CHM"; continue; }
  cmp -s "$f" "$work/out/$name" || fail "$name differs from its source in the CHM"
done

# Links between pages and the contents' entries all name files of the CHM.
for target in $(grep -oh 'href="[^"#:]*"' "$src"/*.html | sed 's/href="\(.*\)"/\1/' | sort -u) \
              $(sed -n 's/.*name="Local" value="\([^"]*\)".*/\1/p' "$src/toc.hhc"); do
  grep -qx "/$target" "$work/list" || fail "$target is linked to but not in the CHM"
done

title=$(sed -n 's/^Title=\(.*\)$/\1/p' "$src/savanto.hhp" | tr -d '\r')
topic=$(sed -n 's/^Default topic=\(.*\)$/\1/p' "$src/savanto.hhp" | tr -d '\r')
[ -n "$title" ] || fail "the project has no title"
grep -aq -- "$title" "$work/out/#SYSTEM" || fail "the CHM does not carry the title \"$title\""
grep -aq -- "$topic" "$work/out/#SYSTEM" || fail "the CHM does not name its default topic $topic"

[ $failures -eq 0 ] || exit 1
echo "PASS: $pages pages and the title \"$title\" in $chm"
