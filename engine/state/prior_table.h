#pragma once
// One prior distribution per parameter: a family and its terms. The
// uniform-unbounded family ("U") adds nothing to the objective.

#include <string>

#include "engine/base/array.h"

namespace estimetrix {

// The nine families, by the letters the priors file stores.
enum class PriorType : char {
  U = 'U',  // uniform - unbounded (the default)
  T = 'T',  // uniform - bounded: two feet, each with its SD
  N = 'N',  // Gaussian
  E = 'E',  // exponential
  G = 'G',  // gamma
  B = 'B',  // beta
  S = 'S',  // left-side cliff
  D = 'D',  // right-side cliff
  L = 'L',  // ln-normal
};

// A term that has not been set (shown as "*").
inline constexpr double kUnsetValue = 1e-100;
// The third and fourth terms of every family but T.
inline constexpr const char* kUnusedTerm = "Unused";

struct PriorTable {
  Array1<PriorType> Type;  // 1..N
  Vector Term1;            // mean, or a foot, or the left foot
  Vector Term2;            // SD, or the SD at the (left) foot
  StringArray Term3;       // T: the right foot as text; otherwise "Unused"
  StringArray Term4;       // T: the SD at the right foot as text; otherwise "Unused"
  // The -ln prior of each parameter at the vector last evaluated for the
  // review and the prior profile (0 for U).
  Vector PriorParameterTerms;
  std::string PriorsFilePath;

  void Resize(int n) {
    Type.Resize(1, n, PriorType::U);
    Term1.Resize(1, n, kUnsetValue);
    Term2.Resize(1, n, kUnsetValue);
    Term3.Resize(1, n, kUnusedTerm);
    Term4.Resize(1, n, kUnusedTerm);
    PriorParameterTerms.Resize(1, n, 0.0);
  }
  int Count() const { return Type.Size(); }
  // Parameter i back to uniform-unbounded.
  void ResetToUniform(int i) {
    Type[i] = PriorType::U;
    Term1[i] = kUnsetValue;
    Term2[i] = kUnsetValue;
    Term3[i] = kUnusedTerm;
    Term4[i] = kUnusedTerm;
  }
  bool AllUniform() const {
    for (PriorType type : Type)
      if (type != PriorType::U) return false;
    return true;
  }
};

}  // namespace estimetrix
