#pragma once
// The runner run in-process on its command-line words: the exit status and
// what it wrote to standard output and standard error.

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_runner.h"

namespace estimetrix::testing {

struct BatchRun {
  int status = -1;
  std::string out, err;
};

// The runner with only the given areas.
inline BatchRun RunBatchWords(const std::vector<BatchArea>& areas,
                              const std::vector<std::string>& words) {
  std::ostringstream out, err;
  BatchRun run;
  run.status = RunBatch(areas, words, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

inline BatchRun RunBatchWords(const std::vector<std::string>& words) {
  return RunBatchWords(AllBatchAreas(), words);
}

// The runner on the Tanner crab increments example: its set-up and algorithm
// files come before `words`.
inline BatchRun RunTannerCrabIncrements(std::vector<std::string> words) {
  const std::string example = std::string(ESTIMETRIX_EXAMPLES) + "/tannercrab-ebs-increments/";
  words.insert(words.begin(), {"--setup", example + "tannercrab-ebs-increments.setup", "--alg",
                               example + "tannercrab-ebs-increments.alg"});
  return RunBatchWords(words);
}

// The value of the last "objective " line on standard output; -1 without one.
inline double LastObjective(const BatchRun& run) {
  const size_t at = run.out.rfind("objective ");
  if (at == std::string::npos) return -1.0;
  return std::strtod(run.out.c_str() + at + 10, nullptr);
}

}  // namespace estimetrix::testing
