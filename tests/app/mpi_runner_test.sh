#!/usr/bin/env bash
# estimetrix-mpi on 2 and 3 ranks writes the same bytes as estimetrix-batch
# in one process: posteriors with two and four free parameters (with the
# bivariate grid and the plots), a likelihood profile and the covariance, on
# the Dungeness example. Then a rank that dies mid-run: a clear message and a
# non-zero exit within seconds, never a hang.
# Usage: mpi_runner_test.sh BATCH MPI RANK_EXIT EXAMPLE_DIR DATA_DIR
set -u
batch="$1" mpi="$2" rank_exit="$3" example="$4" data="$5"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0 passed=0

# Open MPI keeps buffers until the process ends, which LeakSanitizer would
# report in a sanitizer build: leaks are not what this test is about.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# Containers often forbid the cross-process memory reads Open MPI's shared
# memory transport would use for large messages; copying works everywhere.
export OMPI_MCA_btl_vader_single_copy_mechanism=none
mpirun_flags=(--oversubscribe)
[ "$(id -u)" = 0 ] && mpirun_flags+=(--allow-run-as-root)

setup="$example/dungeness.setup"
two_free=(--setup "$setup" --alg "$data/dungeness_two_free.alg" posterior 2 7 9
          save-pos two.pos save-grd two.grd)
four_free=(--setup "$setup" marquardt covariance save-cov fit.cov posterior 2 5 5
           save-pos four.pos profile 3 5 marquardt save-mlc beta1.mlc)
# Plots too, where the runner was built with them.
if "$batch" --help | grep -q -- '--plots'; then two_free+=(--plots plots); fi

run() {  # run DIR PROGRAM... : in DIR, standard output to out.txt
  local dir="$1"; shift
  mkdir -p "$dir"
  (cd "$dir" && timeout 120 "$@" > out.txt 2> err.txt)
}

same_files() {  # same_files NAME REFERENCE_DIR DIR
  local name="$1" reference="$2" dir="$3" file differ=0
  local listed
  listed=$(cd "$reference" && find . -type f ! -name err.txt | sort)
  if [ "$listed" != "$(cd "$dir" && find . -type f ! -name err.txt | sort)" ]; then
    echo "FAIL $name: other files than in one process:"; diff <(echo "$listed") \
      <(cd "$dir" && find . -type f ! -name err.txt | sort)
    differ=1
  fi
  for file in $listed; do
    if ! cmp -s "$reference/$file" "$dir/$file"; then
      echo "FAIL $name: $file differs from one process"; differ=1
    fi
  done
  if [ "$differ" = 0 ] && [ -n "$listed" ]; then
    echo "ok   $name ($(echo "$listed" | wc -l) files identical)"; passed=$((passed + 1))
  else
    failures=$((failures + 1))
  fi
}

for case in two_free four_free; do
  declare -n words="$case"
  if ! run "$work/$case/one" "$batch" --threads 1 "${words[@]}"; then
    echo "FAIL $case: estimetrix-batch failed:"; cat "$work/$case/one/err.txt"
    failures=$((failures + 1)); continue
  fi
  # Every batch spread over 3 ranks; the measured threshold on 2 ranks with 2 threads each.
  for ranks in 3 2; do
    spread=(--spread-min 1 --threads 1)
    [ "$ranks" = 2 ] && spread=(--threads 2)
    if ! run "$work/$case/r$ranks" mpirun "${mpirun_flags[@]}" -n "$ranks" "$mpi" \
         "${spread[@]}" "${words[@]}"; then
      echo "FAIL $case on $ranks ranks: exit status $?"; cat "$work/$case/r$ranks/err.txt"
      failures=$((failures + 1)); continue
    fi
    same_files "$case on $ranks ranks" "$work/$case/one" "$work/$case/r$ranks"
  done
done

# A rank that leaves at its first block ends the run: non-zero exit and a
# message from rank 0, well before the timeout that would mean a hang.
dir="$work/rank_exit"
mkdir -p "$dir"
start=$SECONDS
(cd "$dir" && timeout 60 mpirun "${mpirun_flags[@]}" -n 3 "$rank_exit" --spread-min 1 \
   --threads 1 --setup "$setup" marquardt covariance save-cov fit.cov > out.txt 2> err.txt)
status=$?
elapsed=$((SECONDS - start))
if [ "$status" = 0 ] || [ "$status" = 124 ] || [ "$elapsed" -ge 30 ]; then
  echo "FAIL rank exit: status $status after ${elapsed}s"; cat "$dir/err.txt"
  failures=$((failures + 1))
elif ! grep -q "estimetrix-mpi: the run was stopped before its end\|estimetrix-mpi: rank 2" \
       "$dir/err.txt"; then
  echo "FAIL rank exit: rank 0 gave no message:"; cat "$dir/err.txt"
  failures=$((failures + 1))
elif [ -e "$dir/fit.cov" ]; then
  echo "FAIL rank exit: the covariance file was written after the failure"
  failures=$((failures + 1))
else
  echo "ok   rank exit (status $status after ${elapsed}s)"; passed=$((passed + 1))
fi

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
