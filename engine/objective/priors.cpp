#include "engine/objective/priors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "engine/base/format.h"
#include "engine/state/workbench.h"

namespace estimetrix {

namespace {

constexpr double kPenalty = 1E+20;

double Squared(double x) { return x * x; }

// A uniform-bounded term held as text: its number, or NaN when it is none
// (so the evaluation reports a non-finite objective instead of guessing).
double TermNumber(const std::string& text) {
  double value = 0.0;
  if (StrictReal(text, value)) return value;
  return std::numeric_limits<double>::quiet_NaN();
}

// -ln of the probability of lying right of a soft left foot f with SD s
// (a hard wall when s is 0). SDs act by their size: a negative SD can come
// only from a hand-made file and means the same spread.
double LeftCliff(double x, double foot, double sd) {
  sd = std::fabs(sd);
  if (sd == 0.0) return x < foot ? Squared(x - foot) * kPenalty : 0.0;
  const double z = (x - foot) / sd;
  const double p = NormalCdf(z);
  return p > 0.0 ? -std::log(p) : Squared(z) * kPenalty;
}

// The same for lying left of a right foot.
double RightCliff(double x, double foot, double sd) {
  sd = std::fabs(sd);
  if (sd == 0.0) return x > foot ? Squared(x - foot) * kPenalty : 0.0;
  const double z = (x - foot) / sd;
  const double q = 1.0 - NormalCdf(z);
  return q > 0.0 ? -std::log(q) : Squared(z) * kPenalty;
}

double GammaTerm(double x, double m, double s) {
  const double k = Squared(m / s);
  const double theta = std::fabs(s * s / m);
  // A shape of 1 or less has its density's highest value at the lowest
  // value of the support, not at (k - 1) theta.
  const double mode = std::max((k - 1.0) * theta, kPriorSupportLow);
  const double reference = (1.0 - k) * std::log(mode) + mode / theta;
  return x / theta + (1.0 - k) * std::log(x) - reference;
}

double LnNormalTerm(double x, double m, double s) {
  const double sigma = std::sqrt(std::log(s * s + m * m) - 2.0 * std::log(m));
  const double mu = std::log(m) - sigma * sigma / 2.0;
  const double mode = std::exp(mu - sigma * sigma);
  const double lnMode = std::log(mode);
  const double reference = lnMode + 0.5 * Squared((lnMode - mu) / sigma);
  const double lnX = std::log(x);
  return lnX + 0.5 * Squared((lnX - mu) / sigma) - reference;
}

// The beta's shapes from its mean and SD.
double BetaShapeA(double m, double s) { return m * (m * (1.0 - m) - s * s) / (s * s); }
double BetaShapeB(double m, double s) { return (1.0 - m) * (m * (1.0 - m) - s * s) / (s * s); }

double BetaTerm(double x, double m, double s) {
  const double a = BetaShapeA(m, s);
  const double b = BetaShapeB(m, s);
  const double mode = std::clamp((1.0 - a) / (2.0 - a - b), kPriorSupportLow, kPriorSupportHigh);
  const double reference = (1.0 - a) * std::log(mode) + (1.0 - b) * std::log(1.0 - mode);
  return (1.0 - a) * std::log(x) + (1.0 - b) * std::log(1.0 - x) - reference;
}

double Sum(const Workbench& wb, const Vector& x, Vector* parameterTerms) {
  const PriorTable& priors = wb.priors;
  const int n = std::min(priors.Count(), x.Hi());
  double total = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double entry = PriorParameterTerm(priors, i, x[i]);
    if (parameterTerms) (*parameterTerms)[i] = entry;
    total += entry;
  }
  return wb.covariance.LikelihoodScale * total;
}

bool Unset(double term) { return term == kUnsetValue; }

}  // namespace

double NormalCdf(double x) {
  const double z = std::fabs(x) / std::sqrt(2.0);
  const double t = 1.0 / (1.0 + z / 2.0);
  const double erfc =
      t * std::exp(-z * z - 1.26551223 +
                   t * (1.00002368 +
                        t * (0.37409196 +
                             t * (0.09678418 +
                                  t * (-0.18628806 +
                                       t * (0.27886807 +
                                            t * (-1.13520398 +
                                                 t * (1.48851587 +
                                                      t * (-0.82215223 + t * 0.17087277)))))))));
  return x < 0.0 ? erfc / 2.0 : 1.0 - erfc / 2.0;
}

const char* DistributionName(PriorType type) {
  switch (type) {
    case PriorType::U: return "Uniform - unbounded";
    case PriorType::T: return "Uniform - bounded";
    case PriorType::N: return "Gaussian or Normal";
    case PriorType::E: return "Exponential";
    case PriorType::G: return "Gamma";
    case PriorType::B: return "Beta";
    case PriorType::S: return "Left-side cliff";
    case PriorType::D: return "Right-side cliff";
    case PriorType::L: return "Ln-normal";
  }
  return "Uniform - unbounded";
}

std::optional<PriorType> PriorTypeFromLetter(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'U': return PriorType::U;
    case 'T': return PriorType::T;
    case 'N': return PriorType::N;
    case 'E': return PriorType::E;
    case 'G': return PriorType::G;
    case 'B': return PriorType::B;
    case 'S': return PriorType::S;
    case 'D': return PriorType::D;
    case 'L': return PriorType::L;
    default: return std::nullopt;
  }
}

double PriorParameterTerm(const PriorTable& priors, int i, double x) {
  const double m = priors.Term1[i];
  const double s = priors.Term2[i];
  switch (priors.Type[i]) {
    case PriorType::U:
      return 0.0;
    case PriorType::N:
      return 0.5 * Squared((x - m) / s);
    case PriorType::E:
      if (x <= 0.0) return Squared(x) * kPenalty;
      return x / m;
    case PriorType::G:
      if (x < kPriorSupportLow) return Squared(x - kPriorSupportLow) * kPenalty;
      return GammaTerm(x, m, s);
    case PriorType::L:
      if (x < kPriorSupportLow) return Squared(x - kPriorSupportLow) * kPenalty;
      return LnNormalTerm(x, m, s);
    case PriorType::B:
      if (x < kPriorSupportLow || x > kPriorSupportHigh)
        return Squared(x - (x < kPriorSupportLow ? kPriorSupportLow : kPriorSupportHigh)) * kPenalty;
      return BetaTerm(x, m, s);
    case PriorType::S:
      return LeftCliff(x, m, s);
    case PriorType::D:
      return RightCliff(x, m, s);
    case PriorType::T: {
      double entry = LeftCliff(x, m, s);
      const double rightFoot = TermNumber(priors.Term3[i]);
      const double rightSd = std::fabs(TermNumber(priors.Term4[i]));
      if (rightSd == 0.0) {
        if (x > rightFoot) entry = Squared(x - rightFoot) * kPenalty;
      } else {
        entry += RightCliff(x, rightFoot, rightSd);
      }
      return entry;
    }
  }
  return 0.0;
}

double ComputePriorTerm(const Workbench& wb, const Vector& x) { return Sum(wb, x, nullptr); }

double ComputePriorTerm(const Workbench& wb, const Vector& x, Vector& parameterTerms) {
  if (parameterTerms.Lo() != 1 || parameterTerms.Hi() < wb.priors.Count())
    parameterTerms.Resize(1, wb.priors.Count(), 0.0);
  else
    parameterTerms.Fill(0.0);
  return Sum(wb, x, &parameterTerms);
}

std::string PriorTermText(double term) {
  if (Unset(term)) return "*";
  return FormatNumber(term, "0.000E+000");
}

std::string PriorProblem(const PriorTable& priors, int i) {
  if (i < 1 || i > priors.Count()) return "Parameter " + IntText(i) + " has no prior.";
  const PriorType type = priors.Type[i];
  if (type == PriorType::U) return "";
  const std::string lead = std::string("The ") + DistributionName(type) +
                           " prior of parameter " + IntText(i) + " ";
  const double m = priors.Term1[i];
  const double s = priors.Term2[i];
  if (Unset(m) || Unset(s)) return lead + "has a term that is not set (*).";
  switch (type) {
    case PriorType::N:
      if (s == 0.0) return lead + "has an SD of 0.";
      break;
    case PriorType::B: {
      if (s == 0.0) return lead + "has an SD of 0.";
      if (!(m > 0.0 && m < 1.0)) return lead + "needs a mean between 0 and 1.";
      const double a = BetaShapeA(m, s), b = BetaShapeB(m, s);
      if (!(a > 0.0 && b > 0.0))
        return lead + "has an SD too large for its mean: its a (" + FormatNumber(a, "####0.####") +
               ") and b (" + FormatNumber(b, "####0.####") + ") must both be above 0.";
      break;
    }
    case PriorType::E:
      if (m == 0.0) return lead + "has a mean of 0.";
      if (m < 0.0) return lead + "needs a mean above 0.";
      break;
    case PriorType::G:
      if (m == 0.0) return lead + "has a mean of 0.";
      if (s == 0.0) return lead + "has an SD of 0.";
      break;
    case PriorType::L:
      if (m <= 0.0) return lead + "needs a mean above 0.";
      if (s == 0.0) return lead + "has an SD of 0.";
      break;
    case PriorType::T: {
      double value = 0.0;
      if (!StrictReal(priors.Term3[i], value))
        return lead + "has a right foot that is no number (\"" + priors.Term3[i] + "\").";
      if (Unset(value)) return lead + "has a term that is not set (*).";
      if (!StrictReal(priors.Term4[i], value))
        return lead + "has an SD at the right foot that is no number (\"" + priors.Term4[i] +
               "\").";
      if (Unset(value)) return lead + "has a term that is not set (*).";
      break;
    }
    default:
      break;
  }
  return "";
}

}  // namespace estimetrix
