#!/usr/bin/env bash
# Runs each fuzz target of the file readers for a bounded time:
#   tools/fuzz.sh BUILD_FOLDER SECONDS [TABLE_FOLDER...]
# The seeds are the small example files of Data/ of the reader's kind, the
# first 40 kB of every file in the TABLE_FOLDERs (tables as people download
# them, for the table reader) and the files that once made a reader fail
# (tests/data/reader_findings/<reader>/, replayed by the normal tests as well). A file that makes a reader fail now
# is kept under BUILD_FOLDER/findings/<reader>/; add it to
# tests/data/reader_findings/<reader>/ with the fix. Exit status 1 when any
# target found something.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
tables=("${@:3}")
status=0
declare -A extension=([input]=inp [parameters]=par [results]=out [trend]=dat [table]=csv)
for reader in input parameters results trend table; do
  corpus="$build/corpus/$reader"
  findings="$build/findings/$reader"
  mkdir -p "$corpus" "$findings"
  find Data -maxdepth 1 -name "*.${extension[$reader]}" -size -40k -exec cp {} "$corpus/" \;
  if [ "$reader" = table ]; then
    for folder in "${tables[@]}"; do
      for file in "$folder"/*; do
        [ -f "$file" ] && head -c 40000 "$file" >"$corpus/seed_$(basename "$file")"
      done
    done
  fi
  findings_kept="tests/data/reader_findings/$reader"
  if [ -d "$findings_kept" ]; then find "$findings_kept" -type f -exec cp {} "$corpus/" \; ; fi
  log="$build/fuzz_$reader.log"
  "$build/fuzz_$reader" -max_total_time="$seconds" -max_len=40000 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" >"$log" 2>&1
  result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  echo "fuzz_$reader: ${runs:-?} cases in ${seconds} s, exit $result, $found finding(s) in $findings"
  if [ "$result" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    tail -40 "$log"
  fi
done
exit $status
