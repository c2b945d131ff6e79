#!/usr/bin/env bash
# Times `vyr scan` on a 1 GiB file of joined MP3s against `cat FILE >/dev/null` of the same file
# in the same run, with the page cache warm, and prints the ratio (target: under 2) and the peak
# memory (target: under 64 MiB). Where mp3splt is installed, also times `mp3splt -e` against
# `vyr extract --scan` on the same file, both writing into the temporary folder.
#   bench/scan.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${SCAN_RUNS:-5}
[ -x "$vyr" ] || { echo "scan: $vyr is missing (build the release preset first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "scan: /usr/bin/time is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
material=tests/data/mp3

# One track of about 4 MiB: a CBR file's Info frame and frames, its plain frames again and
# again, then an ID3v1 tag; the file is 256 such tracks, 256 parts for the scan to find.
frames="$work/frames"
tail -c +253 "$material/cbr32-mono-plain.mp3" >"$frames"  # all frames after the 252-byte Info frame
for _ in $(seq 10); do cat "$frames" "$frames" >"$work/t" && mv "$work/t" "$frames"; done  # 6 MiB
track="$work/track.mp3"
cat "$material/cbr32-mono-plain.mp3" "$frames" >"$work/long"
head -c $((4 * 1024 * 1024 - 128)) "$work/long" >"$work/t"
tail -c 128 "$material/cbr44-id3v2-id3v1.mp3" >>"$work/t"
mv "$work/t" "$track"
file="$work/joined.mp3"
for _ in $(seq 256); do cat "$track"; done >"$file"
size=$(stat -c %s "$file")
parts=$("$vyr" scan --json "$file" | grep -c '"row"')
[ "$parts" -eq 256 ] || { echo "scan: found $parts parts, not 256" >&2; exit 1; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs "$@" $runs times; leaves the median wall time in nanoseconds in $wall and the largest
# peak memory in KiB in $peak. $fresh_out: empty the output folder before each run.
measure() {
  local walls=() peaks=() start end
  for _ in $(seq "$runs"); do
    if [ -n "${fresh_out:-}" ]; then rm -rf "$work/out" && mkdir "$work/out" && sync; fi
    start=$(date +%s%N)
    /usr/bin/time -o "$work/time.txt" -f '%M' "$@" >/dev/null 2>"$work/err" || true
    end=$(date +%s%N)
    walls+=($((end - start)))
    peaks+=("$(tail -1 "$work/time.txt")")
  done
  wall=$(printf '%s\n' "${walls[@]}" | median)
  peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
}

cat "$file" >/dev/null  # warm the page cache
measure cat "$file"
cat_wall=$wall cat_peak=$peak
measure "$vyr" scan "$file"
scan_wall=$wall scan_peak=$peak

awk -v size="$size" -v runs="$runs" -v c="$cat_wall" -v s="$scan_wall" -v cp="$cat_peak" -v sp="$scan_peak" 'BEGIN {
  printf "scan: %.0f MiB of 256 joined MP3 tracks, page cache warm, median of %d runs\n", size / 1048576, runs
  printf "  cat FILE    %7.0f ms  %6.0f MiB/s  peak %5.1f MiB\n", c / 1e6, size / 1048576 / (c / 1e9), cp / 1024
  printf "  vyr scan    %7.0f ms  %6.0f MiB/s  peak %5.1f MiB\n", s / 1e6, size / 1048576 / (s / 1e9), sp / 1024
  printf "  time ratio scan/cat %.2f (target under 2), peak memory target under 64 MiB\n", s / c
}'

if command -v mp3splt >/dev/null; then
  split_runs=${SPLIT_RUNS:-3}
  fresh_out=1
  runs=$split_runs measure "$vyr" extract --scan -o "$work/out" "$file"
  extract_wall=$wall extract_peak=$peak
  written=$(find "$work/out" -type f | wc -l)
  runs=$split_runs measure mp3splt -q -e -d "$work/out" "$file"
  split_wall=$wall split_peak=$peak
  awk -v runs="$split_runs" -v e="$extract_wall" -v m="$split_wall" -v ep="$extract_peak" -v mp="$split_peak" \
      -v written="$written" 'BEGIN {
    printf "  vyr extract --scan %7.0f ms  peak %5.1f MiB  (%d files written), median of %d runs\n", e / 1e6, ep / 1024, written, runs
    printf "  mp3splt -e         %7.0f ms  peak %5.1f MiB\n", m / 1e6, mp / 1024
    printf "  mp3splt -e / vyr extract --scan %.1f (target at least 10)\n", m / e
  }'
else
  echo "  mp3splt is not installed: no comparison with mp3splt -e"
fi
