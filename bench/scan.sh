#!/usr/bin/env bash
# Times the recovery scan and the commands built on it beside the commands that only read or copy
# the same file, in one run, with the page cache warm, on two files of about 1 GiB:
#   realistic  1,116 joined 128 kbit/s stereo tracks of about 1 MB with ID3v2 and ID3v1 tags
#              (bench/material.sh makes it once into build/bench-material)
#   dense      256 joined tracks of 4 MiB of 32 kbit/s mono frames: four times as many frame
#              syncs per byte
# Each row runs its command and its reference in turn, pair by pair, and takes the ratio of each
# pair, so that a busy moment of the machine falls on both alike; it prints the medians, the
# spread of the ratios, the target and the largest peak memory (maximum resident set size).
# Then the speed-up of `vyr extract --scan` over `mp3splt -e` on each file, and the parts found.
#   bench/scan.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${SCAN_RUNS:-5}
# The extraction rows vary most from pair to pair (the machine backs written pages afresh, or not,
# by chance), so they take more pairs for a median that holds still.
extract_runs=${EXTRACT_RUNS:-9}
split_runs=${SPLIT_RUNS:-3}
[ -x "$vyr" ] || { echo "scan: $vyr is missing (build the release preset first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "scan: /usr/bin/time is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
realistic=$(bench/material.sh)/joined128.mp3
realistic_tracks=$(cat "$(dirname "$realistic")/joined128.count")

# One track of about 4 MiB: a CBR file's Info frame and frames, its plain frames again and
# again, then an ID3v1 tag; the file is 256 such tracks, 256 parts for the scan to find.
material=tests/data/mp3
frames="$work/frames"
tail -c +253 "$material/cbr32-mono-plain.mp3" >"$frames"  # all frames after the 252-byte Info frame
for _ in $(seq 10); do cat "$frames" "$frames" >"$work/t" && mv "$work/t" "$frames"; done  # 6 MiB
cat "$material/cbr32-mono-plain.mp3" "$frames" >"$work/long"
head -c $((4 * 1024 * 1024 - 128)) "$work/long" >"$work/t"
tail -c 128 "$material/cbr44-id3v2-id3v1.mp3" >>"$work/t"
dense="$work/dense.mp3"
for _ in $(seq 256); do cat "$work/t"; done >"$dense"
rm -f "$work/t" "$work/long" "$frames"

bench=scan
. bench/common.sh
start_scratch

# The file the commands read, read once more before each timed run of either side: the machine
# may drop pages of its page cache between runs, though memory is free.
warm=
warm_input() { if [ -n "$warm" ]; then cat "$warm" >/dev/null; fi; }

# row LABEL REFERENCE TARGET FRESH N COMMAND... --- REFERENCE-COMMAND...
# TARGET: the most the ratio may be; FRESH 1: both write into an empty $out.
row() {
  local label=$1 reference=$2 target=$3 fresh=$4 n=$5
  shift 5
  local command=() base=()
  while [ "$1" != --- ]; do command+=("$1") && shift; done
  shift
  base=("$@")
  local walls=() base_walls=() ratios=() peaks=() base_peaks=()
  for _ in $(seq "$n"); do
    [ "$fresh" = 1 ] && fresh_out
    warm_input
    timed "${command[@]}"
    walls+=("$run_wall") peaks+=("$run_peak")
    local wall=$run_wall
    [ "$fresh" = 1 ] && fresh_out
    warm_input
    timed "${base[@]}"
    base_walls+=("$run_wall") base_peaks+=("$run_peak")
    ratios+=("$(awk -v a="$wall" -v b="$run_wall" 'BEGIN { printf "%.4f", a / b }')")
  done
  awk -v label="$label" -v reference="$reference" -v target="$target" \
      -v w="$(printf '%s\n' "${walls[@]}" | median)" -v bw="$(printf '%s\n' "${base_walls[@]}" | median)" \
      -v r="$(printf '%s\n' "${ratios[@]}" | median)" -v lo="$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)" \
      -v hi="$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)" \
      -v p="$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)" \
      -v bp="$(printf '%s\n' "${base_peaks[@]}" | sort -n | tail -1)" 'BEGIN {
    verdict = (target == "" ? "" : (r <= target ? "met" : "NOT met"))
    printf "  %-30s %7.0f ms  %-16s %7.0f ms  %5.2f x (%.2f to %.2f)  %-7s %-7s  peak %5.1f MiB (%s %.1f)\n",
           label, w / 1e6, reference, bw / 1e6, r, lo, hi, (target == "" ? "" : "<= " target), verdict, p / 1024,
           reference, bp / 1024
  }'
}

# The speed-up of `vyr extract --scan` over `mp3splt -e`, both writing into an empty folder.
splitter() {
  local file=$1
  if ! command -v mp3splt >/dev/null; then
    echo "  mp3splt is not installed: no comparison with mp3splt -e (scripts/install-deps)"
    return
  fi
  local walls=() split_walls=() peaks=() split_peaks=() written
  for _ in $(seq "$split_runs"); do
    fresh_out
    warm_input
    timed "$vyr" extract --scan -o "$out" "$file"
    walls+=("$run_wall") peaks+=("$run_peak")
    written=$(find "$out" -type f | wc -l)
    fresh_out
    warm_input
    timed mp3splt -q -e -d "$out" "$file"
    split_walls+=("$run_wall") split_peaks+=("$run_peak")
  done
  awk -v runs="$split_runs" -v e="$(printf '%s\n' "${walls[@]}" | median)" \
      -v m="$(printf '%s\n' "${split_walls[@]}" | median)" -v written="$written" \
      -v mp="$(printf '%s\n' "${split_peaks[@]}" | sort -n | tail -1)" 'BEGIN {
    printf "  mp3splt -e %.0f ms (peak %.1f MiB) against vyr extract --scan %.0f ms (%d files): %.1f x faster, median of %d\n",
           m / 1e6, mp / 1024, e / 1e6, written, m / e, runs
  }'
}

table() {
  local name=$1 file=$2 tracks=$3
  local parts
  parts=$("$vyr" scan --json "$file" | grep -c '"row"')
  [ "$parts" -eq "$tracks" ] || { echo "scan: found $parts parts in the $name file, not $tracks" >&2; exit 1; }
  warm=$file
  awk -v name="$name" -v size="$(stat -c %s "$file")" -v parts="$parts" -v runs="$runs" \
      -v extract_runs="$extract_runs" 'BEGIN {
    printf "scan: %s file, %.0f MiB, %d parts found; page cache warm; medians of %d pairs (%d for extraction), " \
           "ratios pair by pair\n", name, size / 1048576, parts, runs, extract_runs
  }'
  row "vyr scan --json FILE" "cat FILE" 1.2 0 "$runs" "$vyr" scan --json "$file" --- cat "$file"
  row "vyr scan FILE" "cat FILE" 1.0 0 "$runs" "$vyr" scan "$file" --- cat "$file"
  row "vyr list --scan --json FILE" "cat FILE" 1.5 0 "$runs" "$vyr" list --scan --json "$file" --- cat "$file"
  row "vyr extract --scan -o DIR FILE" "cp FILE DIR/copy" 1.5 1 "$extract_runs" \
    "$vyr" extract --scan -o "$out" "$file" --- cp "$file" "$out/copy"
  splitter "$file"
}

table realistic "$realistic" "$realistic_tracks"
table dense "$dense" 256
echo "scan: the emptied outputs stay in $scratch: removing files makes ext4 without a journal slow to make new ones for minutes"
