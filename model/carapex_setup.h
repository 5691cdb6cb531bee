#pragma once
// What the set-up form (or the headless runner's options) hands the Carapex
// model when it is initialised. Texts are kept as the form's boxes hold them,
// because the model reads them the way it reads the form.

#include <string>

namespace estimetrix {

// The instar size distributions: chkForceNormal or chkForceGamma ticked, or
// neither (the model then keeps the shape it had).
enum class InstarShape { Gaussian, Gamma, Unticked };

// OptZero: frequencies are zero beyond the sampled extremes; OptMissing: the
// distribution was truncated at its extremes.
enum class FrequencyTruncation { ZeroBeyond, Truncated, NotChosen };

// OptNormal or OptGamma; neither is chosen until an increment file is loaded.
enum class IncrementErrors { NotChosen, Gaussian, Gamma };

struct CarapexSetup {
  std::string frequencyPath;                    // lblFrequencyPath; empty when no frequency file
  std::string incrementPath;                    // lblIncrementPath; empty when no increment file
  std::string seriesText = "1";                 // cboSeries
  std::string firstCellText = "1";              // cboFirst
  std::string identifiedText = "0";             // cboIDInstars
  std::string blendedText = "0";                // cboBlendedInstars
  std::string incrementInstarsText = "0";       // cboIncInstars
  InstarShape instars = InstarShape::Gaussian;  // chkForceNormal / chkForceGamma
  FrequencyTruncation truncation = FrequencyTruncation::ZeroBeyond;  // OptZero / OptMissing
  IncrementErrors incrementErrors = IncrementErrors::NotChosen;      // OptNormal / OptGamma
};

}  // namespace estimetrix
