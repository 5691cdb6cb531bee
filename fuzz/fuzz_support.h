#pragma once
// What every reader target shares: the readers take paths, so each input is
// written to one scratch file per process (under $TMPDIR, which fuzz/run
// points at its scratch folder), and a desktop that answers every dialogue
// so that no message can block a run.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/scripted_desktop.h"

namespace estimetrix::fuzz {

inline std::string ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// The same path for every input of this process; `name` keeps the extension
// a reader may look at.
inline const std::string& ScratchPath(const std::string& name) {
  static const std::string path =
      ScratchFolder() + "/fuzz-" + std::to_string(getpid()) + "-" + name;
  return path;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::perror(path.c_str());
    std::abort();
  }
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

inline const std::string& WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath(name);
  WriteFile(path, data, size);
  return path;
}

// OK to every message, No to every question, Cancel to every input box and
// file dialogue: what an unattended run answers.
inline void AnswerEverything(ScriptedDesktop& desktop) {
  desktop.SetResponder(&ScriptedDesktop::DeclineEverything);
}

// Stops the run with a message when a property of the reader fails.
inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", what);
  std::abort();
}

}  // namespace estimetrix::fuzz
