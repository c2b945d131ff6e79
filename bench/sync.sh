#!/usr/bin/env bash
# Times `vyr extract --sync` beside the plain `vyr extract` of the same album, on albums of many
# small tracks, where a flush of each track on its own would wait for the disk once a track:
#   4,000 tracks of 2,000 bytes
#   32,766 tracks of 2,000 bytes, the most an album header holds with its byte count
# Each row runs both in turn, pair by pair, each into an empty folder, and takes the ratio of
# each pair; it prints the medians, the spread of the ratios, the target (--sync at most 1.5 x the
# plain run) and the largest peak memory (maximum resident set size).
#   bench/sync.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${SYNC_RUNS:-7}
large_runs=${SYNC_LARGE_RUNS:-3}
[ -x "$vyr" ] || { echo "sync: $vyr is missing (build the release preset first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "sync: /usr/bin/time is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An album of $2 tracks of 2,000 bytes, one byte-count line for all of them.
make_album() {
  local file=$1 tracks=$2
  awk -v tracks="$tracks" 'BEGIN {
    printf "#EXTBYT:2000\r\n"
    for (i = 1; i <= tracks; i++) printf "Track %05d.mp3\r\n", i
    printf "#EXTBIN\r\n"
  }' >"$file"
  head -c $((tracks * 2000)) /dev/urandom >>"$file"
}

bench=sync
. bench/common.sh
start_scratch

row() {
  local tracks=$1 n=$2
  local album="$work/album-$tracks.vyr"
  make_album "$album" "$tracks"
  # The tracks must come out byte for byte before their speed counts.
  fresh_out
  "$vyr" extract --sync -o "$out" "$album" >/dev/null
  [ "$(find "$out" -type f | wc -l)" -eq "$tracks" ] || { echo "sync: not every track was written" >&2; exit 1; }
  cmp -s <(tail -c 2000 "$album") "$out/Track $(printf %05d "$tracks").mp3" ||
    { echo "sync: the last track differs from its range" >&2; exit 1; }
  local walls=() base_walls=() ratios=() peaks=()
  for _ in $(seq "$n"); do
    # The emptied files of the run before are written back too: a flush in the run would wait
    # for them, the plain run would not.
    fresh_out && sync
    cat "$album" >/dev/null
    timed "$vyr" extract --sync -o "$out" "$album"
    walls+=("$run_wall") peaks+=("$run_peak")
    local wall=$run_wall
    fresh_out && sync
    cat "$album" >/dev/null
    timed "$vyr" extract -o "$out" "$album"
    base_walls+=("$run_wall")
    ratios+=("$(awk -v a="$wall" -v b="$run_wall" 'BEGIN { printf "%.4f", a / b }')")
  done
  awk -v tracks="$tracks" -v n="$n" \
      -v w="$(printf '%s\n' "${walls[@]}" | median)" -v bw="$(printf '%s\n' "${base_walls[@]}" | median)" \
      -v r="$(printf '%s\n' "${ratios[@]}" | median)" -v lo="$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)" \
      -v hi="$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)" \
      -v p="$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)" 'BEGIN {
    printf "  %6d tracks  --sync %7.0f ms  plain %7.0f ms  %5.2f x (%.2f to %.2f)  <= 1.5 %-7s  peak %5.1f MiB, median of %d\n",
           tracks, w / 1e6, bw / 1e6, r, lo, hi, (r <= 1.5 ? "met" : "NOT met"), p / 1024, n
  }'
}

echo "sync: vyr extract --sync against vyr extract, tracks of 2,000 bytes, each run into an empty folder; ratios pair by pair"
row 4000 "$runs"
row 32766 "$large_runs"
echo "sync: the emptied outputs stay in $scratch: removing files makes ext4 without a journal slow to make new ones for minutes"
