#!/usr/bin/env bash
# Makes the benchmarks' realistic material once and prints the folder that holds it:
#   joined128.mp3  about 1 GiB: 1,116 tracks of about 1 MB (128 kbit/s CBR stereo, as lame
#                  writes them, with its Info frame), each behind an ID3v2.3 tag and ending
#                  in an ID3v1 tag, joined end to end
#   joined128.count  the number of tracks in it
# Twelve tracks of noise and sweeps are encoded with sox and lame; every joined track is one of
# them with tags of its own. A stamp of this script's own text tells a stale cache.
#   bench/material.sh [FOLDER]     default: build/bench-material
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/bench-material}
for tool in sox lame perl; do
  command -v "$tool" >/dev/null || { echo "material: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done

stamp=$(sha1sum "$0" | cut -d' ' -f1)
if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$stamp" ] && [ -f "$out/joined128.mp3" ]; then
  echo "$out"
  exit 0
fi
mkdir -p "$out"
rm -f "$out/stamp" "$out/joined128.mp3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bodies=12
for k in $(seq 0 $((bodies - 1))); do
  seconds=$((54 + k))  # 54 to 65 s: about 0.86 to 1.04 MB at 128 kbit/s
  low=$((150 + 40 * k)) high=$((1500 + 300 * k))
  sox -n -r 44100 -c 2 -b 16 "$work/$k.wav" \
    synth "$seconds" pinknoise synth "$seconds" sine mix "$low-$high" tremolo "$((2 + k % 5))" 40 vol 0.5
  lame --quiet -b 128 --cbr "$work/$k.wav" "$work/$k.mp3"
  rm "$work/$k.wav"
done

# Each track: an ID3v2.3 tag (title, artist, album, track number, 128 bytes of padding), a body,
# an ID3v1 tag.
tracks=1116
perl -e '
  use strict; use warnings;
  my ($work, $bodies, $tracks) = @ARGV;
  binmode STDOUT;
  my @body;
  for my $k (0 .. $bodies - 1) {
    open my $in, "<:raw", "$work/$k.mp3" or die "$k.mp3: $!";
    local $/;
    $body[$k] = <$in>;
  }
  sub frame { my ($id, $text) = @_; return $id . pack("N", 1 + length $text) . "\0\0" . "\0" . $text; }
  sub syncsafe { my $n = shift; return pack("C4", ($n >> 21) & 127, ($n >> 14) & 127, ($n >> 7) & 127, $n & 127); }
  for my $t (1 .. $tracks) {
    my $title = sprintf("Benchmark Piece %04d", $t);
    my $frames = frame("TIT2", $title) . frame("TPE1", "The Benchmark Ensemble")
               . frame("TALB", "Realistic Material") . frame("TRCK", "$t/$tracks") . ("\0" x 128);
    print "ID3\x03\x00\x00", syncsafe(length $frames), $frames;
    print $body[($t * 7) % $bodies];
    print "TAG", pack("a30 a30 a30 a4 a28 C C C", $title, "The Benchmark Ensemble", "Realistic Material",
                      "2024", "", 0, $t % 256, 12);
  }
' "$work" "$bodies" "$tracks" >"$out/joined128.mp3"
echo "$tracks" >"$out/joined128.count"
echo "$stamp" >"$out/stamp"
echo "$out"
