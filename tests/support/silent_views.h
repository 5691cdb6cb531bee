#pragma once
// Views of the one-function call and the covariance command that show
// nothing, for tests that watch other things.

#include <string>

#include "engine/covariance/covariance.h"
#include "engine/objective/objective.h"

namespace estimetrix::testing {

struct SilentOneFunctionView : OneFunctionView {
  void Show() override {}
  void SetText(const std::string&) override {}
};

struct SilentCovarianceViews : CovarianceViews {
  void EditAlgorithmDataAndWait() override {}
  void ShowProgress() override {}
  void AppendLog(const std::string&) override {}
  void EnableInterrupt() override {}
  void ShowDisplay() override {}
};

}  // namespace estimetrix::testing
