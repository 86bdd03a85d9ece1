#!/bin/sh
# One task of a Slurm job array: renders its share of a clip's frames.
#
#   sbatch --array=0-$((N - 1)) slurm_part.sh KIND script.avs FRAMES DIR
#
# KIND is y4m, csv, wav, rf64 or wav-extensible (the runner's forms).
# Task k of N renders frames k*FRAMES/N to (k+1)*FRAMES/N - 1 into
# DIR/part.k.KIND, k written with as many digits as N - 1, so that
# join_parts.sh joins DIR/part.*.KIND in frame order into what one whole
# render writes. A task whose share is no frame (more tasks than frames)
# ends at once, writing nothing. FRAMES is the clip's frame count:
# zvk_avs_runner --info script.avs | jq .video.frames; a clip without
# frames (audio alone) is rendered whole by task 0.
set -eu
kind=$1 script=$2 frames=$3 dir=$4
k=$SLURM_ARRAY_TASK_ID n=$SLURM_ARRAY_TASK_COUNT
last=$((n - 1))
part=$dir/part.$(printf "%0${#last}d" "$k").$kind
first=$((k * frames / n)) end=$(((k + 1) * frames / n - 1))
if [ "$frames" -le 0 ] && [ "$k" = 0 ]; then
  range=
  echo "task 0 of $n: no frames to split by, the clip is rendered whole" >&2
elif [ "$end" -lt "$first" ]; then
  echo "task $k of $n: no frame of $frames falls to this task, nothing to render" >&2
  exit 0
else
  range="--frames $first $end"
fi
case $kind in
  y4m) zvk_avs_runner $range --y4m "$script" > "$part" ;;
  csv) zvk_avs_runner $range --validate "$script" "$part" > /dev/null ;;
  wav|rf64|wav-extensible) zvk_avs_runner $range "--$kind" "$script" > "$part" ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac
