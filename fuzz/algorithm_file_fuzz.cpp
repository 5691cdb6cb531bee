// The algorithm file as the Load command reads it: the file's lines, then the
// fixed-column reader against the model's parameter count. A file that loads
// must also survive a save and a second load unchanged, since users keep
// their fits by saving and reopening these files.

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "fuzz/fuzz_support.h"
#include "platform/text_file.h"

namespace {

using estimetrix::AlgorithmFileText;
using estimetrix::AlgorithmFileWriter;
using estimetrix::ScriptedDesktop;
using estimetrix::Workbench;

// The model fixes the parameter count; take it from the file's first line
// when that is a plausible count, so that the seeds reach the parameter lines,
// and 3 otherwise, so that the mismatch path is exercised too.
int ModelParameterCount(const std::vector<std::string>& lines) {
  if (lines.empty()) return 3;
  const long count = std::strtol(lines.front().c_str(), nullptr, 10);
  return count >= 1 && count <= 200 ? static_cast<int>(count) : 3;
}

// Loads `lines` as the file at `path` into a fresh workbench; true when it loaded.
bool Load(Workbench& wb, const std::vector<std::string>& lines, const std::string& path) {
  ScriptedDesktop desktop;
  estimetrix::fuzz::AnswerEverything(desktop);
  wb.alg.ParameterCount = ModelParameterCount(lines);
  estimetrix::ReadAlgorithmFileAt(wb, desktop, nullptr, lines, path);
  estimetrix::ApplySimplexLimitFloor(wb.alg);
  estimetrix::fuzz::Require(desktop.Failures().empty(), "a dialogue went unanswered");
  return !wb.alg.LoadFailed;
}

std::vector<std::string> Lines(const std::string& path) {
  std::string error;
  auto lines = estimetrix::ReadTextLines(path, error);
  estimetrix::fuzz::Require(lines.has_value(), "the scratch file could not be read back");
  return *lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("input.alg", data, size);
  Workbench first;
  if (!Load(first, Lines(path), path)) return 0;

  // Save and reload: the second file must read as the first one did.
  const std::string saved = AlgorithmFileText(first.alg, AlgorithmFileWriter::MainMenu);
  estimetrix::fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
  Workbench second;
  estimetrix::fuzz::Require(Load(second, Lines(path), path), "a saved algorithm file does not load");
  estimetrix::fuzz::Require(
      AlgorithmFileText(second.alg, AlgorithmFileWriter::MainMenu) == saved,
      "saving a reloaded algorithm file changes it");
  return 0;
}
