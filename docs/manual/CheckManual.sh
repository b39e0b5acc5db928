#!/usr/bin/env bash
# Checks the rendered manual against its source: the PDF exists, holds one page for every few
# hundred words, and its text has every heading of the source.
# Usage: CheckManual.sh <source.md> <Tolvane.pdf>
set -euo pipefail
source_file=$1
pdf=$2
[ -s "$pdf" ] || { echo "no manual at $pdf"; exit 1; }
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
words=$(wc -w < "$source_file")
per_page=$((words / pages))
if [ "$per_page" -lt 100 ] || [ "$per_page" -gt 600 ]; then
  echo "$pages pages for $words words ($per_page a page)"
  exit 1
fi
# Ligatures (the fi of "file") read back as single characters.
text=$(pdftotext -layout "$pdf" - | sed 's/ﬁ/fi/g; s/ﬂ/fl/g; s/ﬀ/ff/g; s/ﬃ/ffi/g; s/ﬄ/ffl/g' | tr -s ' \n' ' ')
status=0
while IFS= read -r heading; do
  if [[ "$text" != *"$heading"* ]]; then
    echo "heading missing from the manual: $heading"
    status=1
  fi
done < <(sed -n 's/^#\+ \(.*\)$/\1/p' "$source_file")
exit $status
