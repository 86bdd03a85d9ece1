#!/bin/sh
# One task of a Slurm job array: renders its share of a clip's frames.
#
#   sbatch --array=0-$((N - 1)) slurm_part.sh y4m|csv|wav script.avs FRAMES DIR
#
# Task k of N renders frames k*FRAMES/N to (k+1)*FRAMES/N - 1 into
# DIR/part.k; join_parts.sh joins DIR/part.0 ... DIR/part.N-1 (in that
# order) into what one whole render writes. FRAMES is the clip's frame
# count: zvk_avs_runner --info script.avs | jq .video.frames
set -eu
kind=$1 script=$2 frames=$3 dir=$4
k=$SLURM_ARRAY_TASK_ID n=$SLURM_ARRAY_TASK_COUNT
range="--frames $((k * frames / n)) $(((k + 1) * frames / n - 1))"
case $kind in
  y4m) zvk_avs_runner $range --y4m "$script" > "$dir/part.$k" ;;
  csv) zvk_avs_runner $range --validate "$script" "$dir/part.$k" > /dev/null ;;
  wav) zvk_avs_runner $range --wav "$script" > "$dir/part.$k" ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac
