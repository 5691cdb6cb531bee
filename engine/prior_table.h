#pragma once
// One prior distribution per parameter: a type letter and two terms.
// "U" (uniform) adds nothing to the objective.

#include <string>

#include "engine/array.h"

namespace estimetrix {

struct PriorTable {
  StringArray PriorTypes;  // 1..N
  Vector FirstTerms;
  Vector SecondTerms;
  StringArray FirstTermTexts;  // the terms as the user typed them ("Unused" for "U")
  StringArray SecondTermTexts;
  std::string PriorsFilePath;

  void Resize(int n) {
    PriorTypes.Resize(1, n, "U");
    FirstTerms.Resize(1, n, 0.0);
    SecondTerms.Resize(1, n, 0.0);
    FirstTermTexts.Resize(1, n, "Unused");
    SecondTermTexts.Resize(1, n, "Unused");
  }
  bool AllUniform() const {
    for (const auto& type : PriorTypes)
      if (type != "U") return false;
    return true;
  }
};

}  // namespace estimetrix
