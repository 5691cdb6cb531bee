#!/usr/bin/env bash
# Peak memory (maximum resident set) and wall time of the headless runner:
#   1. the largest set-up the model accepts (99 series, 99 identified instars,
#      9,822 parameters) with no command, which must load in under a second
#      and under 100 MB;
#   2. each command on the snow crab example.
# Usage: bench/memory.sh [path/to/estimetrix-batch]   (default build/app/estimetrix-batch)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BATCH="${1:-$ROOT/build/app/estimetrix-batch}"
EXAMPLE="$ROOT/examples/snowcrab-sgsl-sizefreq"
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT

# 99 series: the three snow crab years repeated across 99 count columns.
tr -d '\r' < "$EXAMPLE/snowcrab_sgsl_females_2022-2024.dat" |
  awk -F, 'NR == 1 { printf "Midpoint"; for (s = 1; s <= 99; s++) printf ",S%d", s; print ""; next }
         { printf "%s", $1; for (s = 1; s <= 99; s++) printf ",%s", $((s - 1) % 3 + 2); print "" }' \
  > "$SCRATCH/wide.dat"

measure() {  # label, then the runner's words
  local label="$1"; shift
  local status=0
  /usr/bin/time -f "%M %e" -o "$SCRATCH/time" "$BATCH" "$@" > /dev/null 2> "$SCRATCH/err" ||
    status=$?
  read -r kilobytes seconds < <(tail -1 "$SCRATCH/time")
  printf "| %s | %.1f MB | %s s | %s |\n" "$label" "$(echo "$kilobytes / 1024" | bc -l)" \
    "$seconds" "$([ $status -eq 0 ] && echo "exit 0" || echo "exit $status")"
}

echo "| run | peak memory | wall time | status |"
echo "|---|---|---|---|"
measure "set-up only, 99 series x 99 instars (N = 9,822)" \
  --frequencies "$SCRATCH/wide.dat" --series 99 --identified 99
SETUP=(--setup "$EXAMPLE/snowcrab-sgsl-sizefreq.setup")
measure "snow crab: set-up and load" "${SETUP[@]}"
measure "snow crab: evaluate" "${SETUP[@]}" evaluate
measure "snow crab: simplex" "${SETUP[@]}" simplex
measure "snow crab: marquardt" "${SETUP[@]}" marquardt
measure "snow crab: simplex, marquardt, covariance" "${SETUP[@]}" simplex marquardt covariance
measure "snow crab: save-alg" "${SETUP[@]}" save-alg "$SCRATCH/fit.alg"
