#pragma once
// A file's bytes as they are on disk (empty when it cannot be read), for
// byte-exact comparisons of saved files.

#include <fstream>
#include <sstream>
#include <string>

namespace estimetrix::testing {

inline std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace estimetrix::testing
