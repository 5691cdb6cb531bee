// The covariance file as model averaging reads it back: the values and the
// standard errors of every grid at their fixed positions.

#include "fuzz/fuzz_support.h"
#include "platform/text_file.h"
#include "ranking/model_averaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("model.cov", data, size);
  std::string error;
  const auto lines = estimetrix::ReadTextLines(path, error);
  if (!lines) return 0;
  // A covariance file does not say its parameter and row counts (the ranking
  // table knows them), so each input is read with a few layouts, among them
  // those of the seeds (3 parameters in the hand-made files, 21 with 3 to 5
  // rows in the Dungeness examples).
  for (int N : {1, 2, 3, 4, 6, 21}) {
    for (int K : {1, 3, 4, 5, N}) {
      if (K > N) continue;
      std::string reason;
      const auto estimates = estimetrix::ReadCovarianceEstimates(*lines, N, K, reason);
      if (!estimates) {
        estimetrix::fuzz::Require(!reason.empty(), "a refused covariance file gives no reason");
        continue;
      }
      estimetrix::fuzz::Require(estimates->values.Size() == N, "values not one per parameter");
      const auto averaged = estimetrix::AverageEstimates({*estimates}, {1.0}, 1.0, N);
      estimetrix::fuzz::Require(averaged.values.Size() == N, "averages not one per parameter");
    }
  }
  return 0;
}
