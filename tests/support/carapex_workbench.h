#pragma once
// A workbench on a Carapex case: the case's model as the workbench's model,
// its parameter list read from it, and the case's values and steps as the
// algorithm data (defaults otherwise), with the fuse groups and the free
// parameter list built, ready for a minimizer or the covariance calculator.

#include <memory>

#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "platform/desktop.h"
#include "tests/support/carapex_cases.h"

namespace estimetrix::testing {

// Returns the model, which the workbench owns; its dialogues go to `desktop`.
inline CarapexModel* LoadCaseIntoWorkbench(const CarapexCase& c, Workbench& wb,
                                           Desktop& desktop) {
  auto owned = std::make_unique<CarapexModel>(desktop);
  CarapexModel* model = owned.get();
  model->SetSetup(c.setup);
  wb.model = std::move(owned);
  double unused = 0.0;
  Vector gradient;
  Matrix second;
  int observations = 0, sampleSize = 0;
  wb.model->MODEL(unused, wb.alg.Values, wb.alg.Steps, wb.alg.Descriptions, wb.alg.FuseCodes,
                  wb.alg.ParameterCount, 0, observations, gradient, second, sampleSize);
  const int n = wb.alg.ParameterCount;
  wb.ResizeForModel(n);
  SetDefaultAlgorithmData(wb.alg);
  for (int i = 1; i <= n; ++i) {
    wb.alg.Values[i] = c.h->values[i];
    wb.alg.Steps[i] = c.h->steps[i];
  }
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  return model;
}

}  // namespace estimetrix::testing
