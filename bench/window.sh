#!/usr/bin/env bash
# Times the window's track list fill on the offscreen platform (bench/WindowFill.cpp), for lists
# of 8,000, 16,000 and 32,767 rows:
#   load  an album of that many file-name lines (the header's limit is 32,767 lines)
#   scan  an ".albw" file of that many parts, each part 1 KiB ending in an ID3v1 tag; the time
#         includes the scan, and the fill's own share is given beside it
# Prints the median over several runs (a fresh window each) of the time from the open command to
# the painted list, and how often the list was painted while the command ran. Then the extraction
# the window makes of an album of 32,766 tracks of 2,000 bytes (the most a header of 32,767 lines
# gives a byte count), flushed and named as the window always does, into a new folder each run.
#   bench/window.sh [PROGRAM]     default: build/release/bench/vyr-bench-window
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-${VYR_BENCH_WINDOW:-build/release/bench/vyr-bench-window}}
runs=${WINDOW_RUNS:-5}
sizes=${WINDOW_ROWS:-8000 16000 32767}
[ -x "$program" ] || { echo "window: $program is missing (build the release preset first)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"

make_album() {
  local file=$1 rows=$2
  awk -v rows="$rows" 'BEGIN { for (i = 1; i <= rows; i++) printf "Track %05d.mp3\r\n", i; printf "#EXTBIN\r\n" }' >"$file"
  local header
  header=$(stat -c %s "$file")
  truncate -s $((2 * header)) "$file"  # track data (zeros) past the header
}

# rows - 1 parts of 1 KiB (a frame sync, zeros, a 128-byte ID3v1 tag), then a short last part.
make_parts() {
  local file=$1 rows=$2
  local unit="$work/unit"
  { printf '\377\373\220\000'; head -c 892 /dev/zero; printf 'TAG'; head -c 125 /dev/zero | tr '\0' a; } >"$unit"
  local units=1
  while [ "$units" -lt "$rows" ]; do cat "$unit" "$unit" >"$unit.2" && mv "$unit.2" "$unit" && units=$((units * 2)); done
  { head -c $(((rows - 1) * 1024)) "$unit"; printf '\377\373'; head -c 600 /dev/zero; } >"$file"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p"; }

# One #EXTBYT line, which every file-name line after it takes, then rows names.
make_sized_album() {
  local file=$1 rows=$2
  awk -v rows="$rows" 'BEGIN { printf "#EXTBYT:2000\r\n"; for (i = 1; i <= rows; i++) printf "Track %05d.mp3\r\n", i; printf "#EXTBIN\r\n" }' >"$file"
  local header
  header=$(stat -c %s "$file")
  head -c $((rows * 2000)) /dev/urandom >>"$file"
  [ $((rows * 2000)) -gt "$header" ] || { echo "window: the album's data would not pass its header" >&2; exit 1; }
}

for kind in load scan; do
  for rows in $sizes; do
    if [ "$kind" = load ]; then
      file="$work/album-$rows.vyr" && make_album "$file" "$rows"
    else
      file="$work/parts-$rows.albw" && make_parts "$file" "$rows"
    fi
    totals=() fills=() paints=()
    for _ in $(seq "$runs"); do
      line=$("$program" "$file" 2>/dev/null) || { echo "window: $program failed on $file" >&2; exit 1; }
      listed=$(field rows <<<"$line") visible=$(field last_row_visible <<<"$line")
      [ "$listed" = "$rows" ] || { echo "window: $listed rows listed, not $rows" >&2; exit 1; }
      [ "$visible" = 1 ] || { echo "window: the list did not end on its last row" >&2; exit 1; }
      totals+=("$(field total_ms <<<"$line")") fills+=("$(field fill_ms <<<"$line")")
      paints+=("$(field repaints <<<"$line")")
    done
    total=$(printf '%s\n' "${totals[@]}" | median) fill=$(printf '%s\n' "${fills[@]}" | median)
    paint=$(printf '%s\n' "${paints[@]}" | median)
    if [ "$kind" = load ]; then
      printf 'window: load of %5d rows  %8.1f ms to the painted list, %3.0f paints during it (median of %d)\n' \
        "$rows" "$total" "$paint" "$runs"
    else
      printf 'window: scan of %5d parts %8.1f ms to the painted list, of it the fill %7.1f ms, %3.0f paints during it (median of %d)\n' \
        "$rows" "$total" "$fill" "$paint" "$runs"
    fi
  done
done

rows=32766 extracts=() paints=() written=
make_sized_album "$work/sized.vyr" "$rows"
for run in $(seq "${WINDOW_EXTRACT_RUNS:-3}"); do
  mkdir "$work/extract-$run"
  cp "$work/sized.vyr" "$work/extract-$run/album.vyr"
  line=$("$program" --extract "$work/extract-$run/album.vyr" 2>/dev/null) || { echo "window: --extract failed" >&2; exit 1; }
  extracts+=("$(field extract_ms <<<"$line")") paints+=("$(field progress_paints <<<"$line")")
  written=$(field written <<<"$line")
  [ "$written" = "$rows" ] || { echo "window: $written tracks written, not $rows" >&2; exit 1; }
  rm -rf "$work/extract-$run"
done
printf 'window: extract of %5d tracks %8.0f ms, flushed and named, the progress bar painted %.0f times (median of %d)\n' \
  "$rows" "$(printf '%s\n' "${extracts[@]}" | median)" "$(printf '%s\n' "${paints[@]}" | median)" \
  "${WINDOW_EXTRACT_RUNS:-3}"
