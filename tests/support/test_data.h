#pragma once
// The path of one of the tests' own data files: tests/data/<folder>/<name>.

#include <string>

namespace estimetrix::testing {

inline std::string TestDataFile(const std::string& folder, const std::string& name) {
  return std::string(ESTIMETRIX_TEST_DATA) + "/" + folder + "/" + name;
}

}  // namespace estimetrix::testing
