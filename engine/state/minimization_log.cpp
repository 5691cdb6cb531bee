#include "engine/state/minimization_log.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace estimetrix {

namespace {

// Why the file at `path` cannot take a log, or "" when it can (a regular
// file, a device, or nothing yet).
std::string UnsuitableReason(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return "";
  if (S_ISDIR(info.st_mode)) return "it is a folder, not a file";
  if (S_ISFIFO(info.st_mode)) return "it is a pipe, not a regular file";
  if (S_ISSOCK(info.st_mode)) return "it is a socket, not a regular file";
  return "";
}

}  // namespace

bool MinimizationLog::Open(const std::string& path) {
  Close();
  error_ = UnsuitableReason(path);
  if (!error_.empty()) return false;
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_.is_open()) {
    error_ = errno != 0 ? std::strerror(errno) : "it could not be opened for writing";
    return false;
  }
  path_ = path;
  return true;
}

void MinimizationLog::Close() {
  if (file_.is_open()) file_.close();
  file_.clear();
  path_.clear();
  error_.clear();
  writeFailed_ = false;
}

void MinimizationLog::Write(const std::string& text) {
  if (!file_.is_open() || writeFailed_) return;
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  errno = 0;
  file_ << out;
  file_.flush();
  if (!file_) {
    writeFailed_ = true;
    error_ = errno != 0 ? std::strerror(errno) : "the text could not be written";
  }
}

}  // namespace estimetrix
