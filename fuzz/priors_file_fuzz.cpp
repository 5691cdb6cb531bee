// The priors file as the chooser's Open reads it, then what a loaded table is
// used for: every prior's term over a spread of values (which must never
// trap, whatever terms a hand-made file holds), the review, the same file
// behind a UTF-8 byte-order mark (which must load alike), and a save and
// second load that must give back the same file.

#include <cstdlib>
#include <string>

#include "engine/bayesian/prior_review.h"
#include "engine/bayesian/priors_file.h"
#include "engine/objective/priors.h"
#include "engine/state/workbench.h"
#include "fuzz/fuzz_support.h"

namespace {

using estimetrix::ScriptedDesktop;
using estimetrix::Workbench;

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// The model fixes the parameter count: the file's own count when plausible,
// so that the records are reached, and 3 otherwise for the mismatch path.
int ModelParameterCount(const uint8_t* data, size_t size) {
  std::string head(reinterpret_cast<const char*>(data), size < 19 ? size : 19);
  if (head.rfind(kByteOrderMark, 0) == 0) head.erase(0, 3);
  const long count = std::strtol(head.c_str(), nullptr, 10);
  return count >= 1 && count <= 200 ? static_cast<int>(count) : 3;
}

bool Load(Workbench& wb, int n, const std::string& path) {
  ScriptedDesktop desktop;
  estimetrix::fuzz::AnswerEverything(desktop);
  wb.alg.ParameterCount = n;
  wb.alg.Values.Resize(1, n, 0.5);
  wb.priors.Resize(n);
  const bool loaded = estimetrix::ReadPriorsFile(wb, desktop, path);
  estimetrix::fuzz::Require(desktop.Failures().empty(), "a dialogue went unanswered");
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("input.pri", data, size);
  const int n = ModelParameterCount(data, size);
  Workbench first;
  if (!Load(first, n, path)) return 0;

  for (int i = 1; i <= n; ++i) {
    for (double x : {-1e6, -1.0, 0.0, 1e-7, 0.5, 0.9999995, 1.0, 3.0, 1e6})
      (void)estimetrix::PriorParameterTerm(first.priors, i, x);
    (void)estimetrix::PriorProblem(first.priors, i);
  }
  (void)estimetrix::ReviewPriors(first);

  const std::string saved = estimetrix::PriorsFileText(first.priors);

  // An editor that saves UTF-8 may put a byte-order mark in front: the same
  // file with one loads to the same table.
  std::string marked = kByteOrderMark;
  marked.append(reinterpret_cast<const char*>(data), size);
  estimetrix::fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(marked.data()), marked.size());
  Workbench withMark;
  estimetrix::fuzz::Require(Load(withMark, n, path), "a byte-order mark stops a file loading");
  estimetrix::fuzz::Require(estimetrix::PriorsFileText(withMark.priors) == saved,
                            "a byte-order mark changes what a priors file holds");

  estimetrix::fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
  Workbench second;
  estimetrix::fuzz::Require(Load(second, n, path), "a saved priors file does not load");
  estimetrix::fuzz::Require(estimetrix::PriorsFileText(second.priors) == saved,
                            "saving a reloaded priors file changes it");
  return 0;
}
