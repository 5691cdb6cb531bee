#include "platform/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace estimetrix {

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool SaveTextFileAtomically(const std::string& path, const std::string& text,
                            std::string& error) {
  std::string temp = path + ".tmp-" + std::to_string(::getpid());
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) {
    error = "Cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  int savedErrno = errno;
  ok = (std::fflush(file) == 0) && ok;
  if (ok) ok = ::fsync(::fileno(file)) == 0 || errno == EINVAL;
  if (!ok) savedErrno = errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    std::remove(temp.c_str());
    error = "Cannot write " + path + ": " + std::strerror(savedErrno);
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    savedErrno = errno;
    std::remove(temp.c_str());
    error = "Cannot replace " + path + ": " + std::strerror(savedErrno);
    return false;
  }
  return true;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path,
                                                      std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    error = "Cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    error = "Cannot read " + path;
    return std::nullopt;
  }
  std::string all = buffer.str();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string BareFileName(const std::string& path) {
  size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace estimetrix
