# What the bench scripts that time vyr beside other commands share: the median of a column of
# numbers, a timed run, and fresh output folders. Sourced once $work (a temporary folder) and
# $bench (the script's name, for its messages) are set.

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The rows that write files write into an empty folder, with the writes of the run before on disk,
# so that runs do not meet the write-back of the one before. The files of the run before are
# emptied and kept, never removed, in the build folder: making a file, ext4 without a journal
# passes one by one over the inodes freed in the last minute (five more while their table is not
# written back), which would charge a command that makes many files for those this benchmark, or
# the one before it, removed. Emptied only now, after the sync and just before the run,
# their pages are free when it starts: a virtual machine may back a page only when it is first
# written, several times slower, and take back within seconds the pages its guest frees, so a
# run would otherwise write into memory backed afresh, or not, by chance.
start_scratch() {
  scratch=build/bench-scratch/$bench-$(date +%Y%m%d-%H%M%S)-$$
  mkdir -p "$scratch"
  out=$scratch/out
  kept=0
}
fresh_out() {
  if [ -d "$out" ]; then
    sync
    find "$out" -type f -exec truncate -s 0 {} +
    mv "$out" "$scratch/kept$kept"
    kept=$((kept + 1))
  fi
  mkdir "$out"
}

# One timed run of "$@": the wall time in nanoseconds in $run_wall, the peak memory in KiB in
# $run_peak. A command that fails ends the benchmark: its figure would mean nothing.
timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -o "$work/time.txt" -f '%M' "$@" >/dev/null 2>"$work/err" ||
    { echo "$bench: $* failed: $(tail -3 "$work/err")" >&2; exit 1; }
  end=$(date +%s%N)
  run_wall=$((end - start))
  run_peak=$(tail -1 "$work/time.txt")
}

