#pragma once
// Model averaging: each ranked model's estimates and standard errors read
// back from its covariance file, weight-averaged estimates and unconditional
// standard errors on each of the three covariance grids, and the text that
// reports them.

#include <optional>
#include <string>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

inline constexpr int kAveragingGrids = 3;

// What averaging takes from one covariance file.
struct CovarianceEstimates {
  Vector values;  // 1..N, every parameter
  Matrix se;      // grids 1..3 by parameters 1..N; 0 for a parameter without a row
  bool gridMissing[kAveragingGrids + 1] = {};  // grid g holds an SE of -1
};

// Reads the estimates of a covariance file of N parameters with K standard
// error rows. Lines 5 to N+4 hold the values (columns 7-20), lines N+20 to
// N+19+K the parameter number (columns 1-3) and grid g's SE (14 columns from
// column 25 + 18 (g - 1)). A file saved more than once begins with more than
// one "Originally saved with the file name: " line, each followed by an
// empty line; the positions count from the last of them. nullopt, with the
// reason in `reason`, when the file is shorter than that or a number is
// missing where one must stand.
std::optional<CovarianceEstimates> ReadCovarianceEstimates(const std::vector<std::string>& lines,
                                                           int N, int K, std::string& reason);

// The averaged estimate of every parameter and its unconditional SE per grid:
// theta_i = sum_m w_m theta_mi and
// SE_ig = sum_m w_m sqrt(cHat SE_mig^2 + (theta_mi - theta_i)^2),
// or -1 on every parameter of a grid that any model is missing, and -1 for
// an SE too large for a double.
struct AveragedEstimates {
  Vector values;  // 1..N
  Matrix se;      // grids 1..3 by parameters 1..N
};
AveragedEstimates AverageEstimates(const std::vector<CovarianceEstimates>& models,
                                   const std::vector<double>& weights, double cHat, int N);

// The averaging text box (CR LF line ends).
std::string AveragingText(const AveragedEstimates& averaged);

// How a covariance file name is checked: when a model is added (the name
// derived from its algorithm file) or when the user names another file.
enum class CovarianceCheck { OnAdding, OnChange };

// Tries to open the named file for reading; a bare name is looked for in
// `directory` (the algorithm file's folder; empty for the current folder).
// Returns the path that opened. When none did, `name` becomes
// "No covariance file found" (OnAdding) or "No such file exists" (OnChange);
// a name with a folder becomes its bare name otherwise.
std::optional<std::string> CheckCovFileName(std::string& name, CovarianceCheck mode,
                                            const std::string& directory);

// The folder part of a path, up to and including its last "/" or "\"; empty
// when it has none.
std::string FolderOf(const std::string& path);

}  // namespace estimetrix
