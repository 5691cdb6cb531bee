// The moult-increment data file as the model loads it at initialisation.

#include "fuzz/fuzz_support.h"
#include "model/data_files.h"
#include "model/model_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = estimetrix::fuzz::WriteInput("increments.dat", data, size);
  estimetrix::ModelData model;
  // A smaller record limit than the model's lets short inputs reach the
  // "rest of the file is ignored" path.
  model.MaxIncrementRecords = size % 2 ? estimetrix::kMaxIncrementRecords : 8;
  estimetrix::SizeDataArrays(model);
  const auto error = estimetrix::ReadIncrementFile(path, model);
  if (error) {
    estimetrix::fuzz::Require(!error->title.empty() && !error->text.empty(),
                              "a refused increment file gives no message");
    return 0;
  }
  estimetrix::fuzz::Require(
      model.IncrementRecordCount >= 0 && model.IncrementRecordCount <= model.MaxIncrementRecords,
      "record count outside the arrays");
  return 0;
}
