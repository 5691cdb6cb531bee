#!/usr/bin/env bash
# Posterior grid scaling over threads and MPI ranks on this machine, and the
# cost rank 0 pays per grid point for handing points to other ranks. Every
# run's .pos file must equal the one-thread run's byte for byte.
# Usage: bench/mpi_scaling.sh [BUILD_DIR] [POINTS] [GRID]
# (the Dungeness example: four free parameters, POINTS x GRID^3 evaluations)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
points="${2:-21}" grid="${3:-21}"
batch="$build/app/estimetrix-batch" mpi="$build/app/estimetrix-mpi"
setup="$root/examples/dungeness/dungeness.setup"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
flags=(--oversubscribe)
[ "$(id -u)" = 0 ] && flags+=(--allow-run-as-root)
evaluations=$((points * grid * grid * grid))
words=(--setup "$setup" posterior 2 "$points" "$grid" save-pos out.pos)

seconds() {  # seconds NAME COMMAND...: wall time of the run, in seconds
  local name="$1"; shift
  mkdir -p "$work/$name"
  local start end
  start=$(date +%s.%N)
  (cd "$work/$name" && "$@" > out.txt 2> err.txt) || { echo "$name failed" >&2; exit 1; }
  end=$(date +%s.%N)
  if [ -e "$work/one/out.pos" ] && ! cmp -s "$work/one/out.pos" "$work/$name/out.pos"; then
    echo "$name: the posterior file differs from one thread's" >&2; exit 1
  fi
  echo "$end - $start" | bc -l
}

one=$(seconds one "$batch" --threads 1 "${words[@]}")
two_threads=$(seconds two_threads "$batch" --threads 2 "${words[@]}")
mpi_one=$(seconds mpi_one mpirun "${flags[@]}" -n 1 "$mpi" --threads 1 "${words[@]}")
two_ranks=$(seconds two_ranks mpirun "${flags[@]}" -n 2 "$mpi" --threads 1 --spread-min 1 \
            "${words[@]}")
per() { echo "scale=3; $1 * 1000000 / $evaluations" | bc -l; }
speed() { echo "scale=2; $one / $1" | bc -l; }
echo "Posterior 2 $points $grid on the Dungeness example: $evaluations evaluations"
grep -h "ranks" "$work/two_ranks/err.txt" || true
echo
echo "| run | wall s | us per evaluation | speed-up |"
echo "|---|---|---|---|"
echo "| estimetrix-batch, 1 thread | $one | $(per "$one") | 1.00 |"
echo "| estimetrix-batch, 2 threads | $two_threads | $(per "$two_threads") | $(speed "$two_threads") |"
echo "| estimetrix-mpi, 1 rank x 1 thread | $mpi_one | $(per "$mpi_one") | $(speed "$mpi_one") |"
echo "| estimetrix-mpi, 2 ranks x 1 thread | $two_ranks | $(per "$two_ranks") | $(speed "$two_ranks") |"
