// The set-up file (key=value lines) as the runner and the examples read it,
// followed by the initialisation it sets up. The data files it names are
// replaced by two small, valid files so that the run exercises the set-up's
// counts and choices rather than whatever paths the input spells.

#include <string>

#include "engine/state/workbench.h"
#include "fuzz/fuzz_support.h"
#include "model/initialize.h"

namespace {

const char kFrequencies[] =
    "Midpoint,S1,S2\r\n"
    "    0.5,    1,    0\r\n"
    "    1.5,    5,    2\r\n"
    "    2.5,   12,    7\r\n"
    "    3.5,   10,    9\r\n"
    "    4.5,    8,    4\r\n"
    "    5.5,    2,    1\r\n";

const char kIncrements[] =
    "Initial,Increment\r\n"
    "  10.0,   3.0\r\n"
    "  12.0,   3.5\r\n"
    "  12.0,   3.5\r\n"
    "  15.0,   2.0\r\n";

const std::string& DataFile(const std::string& name, const char* text) {
  static std::string frequencies, increments;
  std::string& path = name == "frequencies" ? frequencies : increments;
  if (path.empty()) {
    path = estimetrix::fuzz::ScratchFolder() + "/fuzz-setup-" + name + ".dat";
    const std::string content(text);
    estimetrix::fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(content.data()),
                                content.size());
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("input.setup", data, size);
  std::string algorithmPath, error;
  auto setup = estimetrix::ReadSetupFile(path, algorithmPath, error);
  if (!setup) {
    estimetrix::fuzz::Require(!error.empty(), "a refused set-up file gives no reason");
    return 0;
  }
  estimetrix::EffectiveInstarCount(setup->identifiedText, setup->blendedText);

  if (!setup->frequencyPath.empty())
    setup->frequencyPath = DataFile("frequencies", kFrequencies);
  if (!setup->incrementPath.empty()) setup->incrementPath = DataFile("increments", kIncrements);
  estimetrix::Workbench wb;
  estimetrix::ScriptedDesktop desktop;
  estimetrix::fuzz::AnswerEverything(desktop);
  if (estimetrix::InitializeCarapex(wb, desktop, *setup)) {
    estimetrix::fuzz::Require(wb.alg.ParameterCount > 0 && wb.model != nullptr,
                              "an initialised model has no parameters");
  } else {
    estimetrix::fuzz::Require(!desktop.Transcript().empty(),
                              "a refused initialisation shows no message");
  }
  return 0;
}
