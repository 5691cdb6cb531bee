// The size-frequency data file as the model loads it at initialisation.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "model/data_files.h"
#include "model/model_data.h"

namespace {

// The set-up names the series count and first cell; take them from the input
// so that the seeds are read as their files are meant: as many series as the
// longest line has count columns (column 6s + 3 onwards), and a first cell
// from 1 to 3.
void Configure(const uint8_t* data, size_t size, estimetrix::ModelData& model) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t longest = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    longest = std::max(longest, end);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  const int series = longest >= 9 ? static_cast<int>((longest - 3) / 6) : 1;
  model.SeriesCount = std::clamp(series, 1, 99);
  model.FirstCell = 1 + static_cast<int>(size % 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("frequencies.dat", data, size);
  estimetrix::ModelData model;
  Configure(data, size, model);
  estimetrix::SizeDataArrays(model);
  const auto error = estimetrix::ReadFrequencyFile(path, model);
  if (error) {
    estimetrix::fuzz::Require(!error->title.empty() && !error->text.empty(),
                              "a refused frequency file gives no message");
    return 0;
  }
  estimetrix::fuzz::Require(model.CellCount >= 0 && model.CellCount <= model.MaxCells,
                            "cell count outside the arrays");
  return 0;
}
