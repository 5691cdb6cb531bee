#pragma once
// What the set-up form (or the headless runner's options) hands the Carapex
// model when it is initialised. Texts are kept as the form's boxes hold them,
// because the model reads them the way it reads the form.

#include <string>

namespace estimetrix {

struct CarapexSetup {
  std::string frequencyPath;  // lblFrequencyPath; empty when no frequency file
  std::string incrementPath;  // lblIncrementPath; empty when no increment file
  std::string seriesText = "1";      // cboSeries
  std::string firstCellText = "1";   // cboFirst
  std::string identifiedText = "0";  // cboIDInstars
  std::string blendedText = "0";     // cboBlendedInstars
  std::string incrementInstarsText = "0";  // cboIncInstars
  bool forceNormal = true;   // chkForceNormal
  bool forceGamma = false;   // chkForceGamma
  bool optMissing = false;   // OptMissing: truncated at the extremes
  bool optZero = true;       // OptZero: zero beyond the extremes
  bool optNormal = false;    // OptNormal: Gaussian increment errors
  bool optGamma = false;     // OptGamma: gamma increment errors
};

}  // namespace estimetrix
