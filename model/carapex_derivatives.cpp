#include "model/carapex_derivatives.h"

#include <string>

#include "model/likelihood_template.h"
#include "model/second_order.h"

namespace estimetrix {

namespace {

template <int Capacity>
double Differentiate(const ModelData& data, const Vector& values,
                     const DerivativeVariables& variables, Vector& gradient, Matrix& second) {
  using Number = SecondOrder<Capacity>;
  const int n = data.ParameterCount;
  const int m = variables.Count();
  std::vector<Number> theta(n + 1);
  for (int i = 1; i <= n; ++i) {
    const int v = variables.variableOf[i];
    theta[i] = v >= 0 ? Number::Variable(values[i], v, m) : Number(values[i]);
  }
  const Number f = templated::Objective(data, theta);
  for (int a = 0; a < m; ++a) {
    const int i = variables.leader[a];
    gradient[i] = f.First(a);
    for (int b = 0; b < m; ++b) second(i, variables.leader[b]) = f.Second(a, b);
  }
  return f.value();
}

}  // namespace

DerivativeVariables ChooseDerivativeVariables(int parameterCount, const Vector& steps,
                                              const StringArray& fuseCodes) {
  const int n = parameterCount;
  auto step = [&](int i) { return i >= steps.Lo() && i <= steps.Hi() ? steps[i] : 0.0; };
  auto code = [&](int i) {
    return i >= fuseCodes.Lo() && i <= fuseCodes.Hi() ? fuseCodes[i] : std::string("~~");
  };
  bool anyFree = false;
  for (int i = 1; i <= n; ++i) anyFree = anyFree || step(i) != 0.0;

  DerivativeVariables variables;
  variables.variableOf.assign(n + 1, -1);
  // The first member of each fuse group, per parameter (0 for unfused ones).
  std::vector<int> groupLeader(n + 1, 0);
  for (int i = 1; i <= n; ++i) {
    if (code(i) == "~~") continue;
    groupLeader[i] = i;
    for (int j = 1; j < i; ++j) {
      if (code(j) == code(i)) {
        groupLeader[i] = groupLeader[j];
        break;
      }
    }
  }
  for (int i = 1; i <= n; ++i) {
    const int leader = groupLeader[i];
    if (leader != 0 && leader != i && variables.variableOf[leader] >= 0) {
      variables.variableOf[i] = variables.variableOf[leader];
      continue;
    }
    if (anyFree && step(i) == 0.0) continue;
    variables.variableOf[i] = variables.Count();
    variables.leader.push_back(i);
  }
  return variables;
}

double CarapexDerivatives(const ModelData& data, const Vector& values,
                          const DerivativeVariables& variables, Vector& gradient, Matrix& second) {
  const int n = data.ParameterCount;
  gradient.Resize(1, n, 0.0);
  second.Resize(1, n, 1, n, 0.0);
  const int m = variables.Count();
  if (m <= 8) return Differentiate<8>(data, values, variables, gradient, second);
  if (m <= 32) return Differentiate<32>(data, values, variables, gradient, second);
  return Differentiate<0>(data, values, variables, gradient, second);
}

double TemplatedObjective(const ModelData& data, const Vector& values) {
  std::vector<double> theta(data.ParameterCount + 1, 0.0);
  for (int i = 1; i <= data.ParameterCount; ++i) theta[i] = values[i];
  return templated::Objective(data, theta);
}

}  // namespace estimetrix
