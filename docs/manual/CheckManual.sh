#!/usr/bin/env bash
# Checks a rendered manual against its source: the PDF exists, holds one page for every few
# hundred words, and its text has every heading of the source. Given the language file of a
# translated manual, its text also names the controls as the program's window does in that
# language: the toolbar, menus, settings pages, speed trainer, voice roles, step sequencer and practice tools.
# Usage: CheckManual.sh <source.md> <Tolvane.pdf> [<language file>]
set -euo pipefail
source_file=$1
pdf=$2
language=${3:-}
[ -s "$pdf" ] || { echo "no manual at $pdf"; exit 1; }
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
words=$(wc -w < "$source_file")
per_page=$((words / pages))
if [ "$per_page" -lt 100 ] || [ "$per_page" -gt 600 ]; then
  echo "$pages pages for $words words ($per_page a page)"
  exit 1
fi
# Ligatures (the fi of "file") read back as single characters.
ligatures='s/ﬁ/fi/g; s/ﬂ/fl/g; s/ﬀ/ff/g; s/ﬃ/ffi/g; s/ﬄ/ffl/g'
text=$(pdftotext -layout "$pdf" - | sed "$ligatures" | tr -s ' \n' ' ')
status=0
while IFS= read -r heading; do
  if [[ "$text" != *"$heading"* ]]; then
    echo "heading missing from the manual: $heading"
    status=1
  fi
done < <(sed -n 's/^#\+ \(.*\)$/\1/p' "$source_file")
[ -n "$language" ] || exit $status

# Compared without spaces, in the order the text was drawn, so that a name wrapped inside a
# table cell still reads whole.
drawn=$(pdftotext -raw "$pdf" - | sed "$ligatures" | tr -d ' \n')
names="Menu:1 Menu:2 Menu:3 MenuItems:1 MenuItems:8 Toolbar:1 Toolbar:2 Toolbar:3 Toolbar:4
  Control:1 Control:2 Control:3 Control:4 Control:5 Control:20 Control:21 Control:22 Control:23 Control:24 Control:25
  Control:26 Control:27 Control:28 Control:29 Control:31 Control:32 Control:34 Control:35 Control:36 Control:37
  Control:38 Control:39 Control:40 Control:41 Control:42 Control:43 Control:44 Control:45 Control:49 Control:50
  Control:63 Control:65 Control:66 Control:70 Control:71 Control:72 Control:80 Control:81 Control:82
  Text:17 Text:18 Text:19 Text:20 Text:21 Text:22 Text:23 Text:24 Text:25 Text:26
  Text:90 Text:91 Text:92 Text:98 Text:100 Text:101 Text:102 Text:103 Text:104 Text:105 Text:106 Text:107 Text:108 Text:109
  Text:110 Text:111 Text:155 Text:156 Text:157 Text:158 Text:159 Text:160 Text:161 Text:172 Text:173 Text:174 Text:175
  Text:176 Text:177 Text:308 Text:310 Text:311 Text:312"
while IFS= read -r name; do
  if [[ "$drawn" != *"${name// /}"* ]]; then
    echo "control not named as the window names it: $name"
    status=1
  fi
done < <(awk -v names="$names" '
  BEGIN { n = split(names, list); for (i = 1; i <= n; i++) wanted[list[i]] = 1 }
  /^\[/ { section = substr($0, 2, length($0) - 2); next }
  /^[0-9]+ = / && ((section ":" $1) in wanted) { sub(/^[0-9]+ = /, ""); gsub(/&/, ""); print }' "$language")
exit $status
