#pragma once
// The runner run in-process on its command-line words: the exit status and
// what it wrote to standard output and standard error.

#include <sstream>
#include <string>
#include <vector>

#include "app/batch_runner.h"

namespace estimetrix::testing {

struct BatchRun {
  int status = -1;
  std::string out, err;
};

inline BatchRun RunBatchWords(const std::vector<std::string>& words) {
  std::ostringstream out, err;
  BatchRun run;
  run.status = RunBatch(AllBatchAreas(), words, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace estimetrix::testing
