#include "engine/state/minimization_log.h"

namespace estimetrix {

bool MinimizationLog::Open(const std::string& path) {
  Close();
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_.is_open()) return false;
  path_ = path;
  return true;
}

void MinimizationLog::Close() {
  if (file_.is_open()) file_.close();
  file_.clear();
  path_.clear();
}

void MinimizationLog::Write(const std::string& text) {
  if (!file_.is_open()) return;
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  file_ << out;
  file_.flush();
}

}  // namespace estimetrix
