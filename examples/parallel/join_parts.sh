#!/bin/sh
# Joins the parts of a split render into what one whole render writes, byte
# for byte.
#
#   join_parts.sh y4m|skip-drop|csv|wav OUTPUT PART...
#
# The parts in frame order: a Y4M part is the stream header, then its
# frames; a CSV part its header line, then its rows; a WAV part a header of
# its own, then its samples. Joined: the first part's header, then every
# part's frames, rows or samples (a WAV header with the sizes of them all).
set -eu
[ $# -ge 3 ] || { sed -n '5p' "$0" >&2; exit 2; }
kind=$1 output=$2
shift 2
case $kind in
  y4m|skip-drop|csv|wav) ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac
first=$1
joined=$output.joining
trap 'rm -f "$joined"' EXIT

for part in "$@"; do
  if [ "$kind" = wav ]; then
    tail -c +45 "$part"
  elif [ "$part" = "$first" ]; then
    cat "$part"
  else
    tail -n +2 "$part"
  fi
done > "$joined"

# Little-endian 32-bit field for the WAV header.
le32() {
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}

if [ "$kind" = wav ]; then
  # The first part's header, with the sizes of all the samples.
  size=$(wc -c < "$joined")
  [ "$size" -le 4294967259 ] || { echo "the joined audio is too long for a WAV header" >&2; exit 1; }
  { printf RIFF; le32 $((size + 36)); head -c 40 "$first" | tail -c 32; le32 "$size"; cat "$joined"; } > "$output"
else
  mv "$joined" "$output"
fi
