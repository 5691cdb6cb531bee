#include "engine/covariance/covariance_report.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "engine/base/log_gamma.h"
#include "engine/state/report_file.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char* const kE = "0.0000000E+00";
const char* const kF = "#####0.0000000";
const char* const kP = "#0.0000";
const char* const kBelowResolution = "<0.0001";

std::string Blanks(int count) {
  return std::string(static_cast<size_t>(count), ' ');
}

std::string RJ(const std::string& text, int width) {
  return RightJustify(text, width);
}
std::string RJ(double value, const char* pattern, int width) {
  return RightJustify(FormatNumber(value, pattern), width);
}

// The t(999) density without its constant.
double Kernel(double u) {
  return std::exp(-0.5 * 1000.0 * std::log(1.0 + u * u / 999.0));
}

// Builds the report line by line; every line ends with "\n".
class ReportWriter {
 public:
  ReportWriter(Workbench& wb, Desktop& desktop)
      : wb_(wb),
        cov_(wb.covariance),
        desktop_(desktop),
        q_(cov_.LikelihoodConstant()),
        analytical_(wb.state.CovarianceDerivatives == DerivativeChoice::Analytical) {}

  std::string Build() {
    ParameterTable();
    Summary();
    StandardErrors();
    Probabilities();
    Correlations();
    Covariances();
    Determinants();
    return text_;
  }

 private:
  void Line(const std::string& line) { text_ += line + "\n"; }
  // A line of a per-parameter table: the window stays responsive on large models.
  void TableLine(const std::string& line) {
    Line(line);
    desktop_.Yield();
  }
  int n() const { return cov_.CovarianceCount; }
  int Index(int r) const { return cov_.CovarianceIndex[r]; }
  double SE(int k, int r) const { return cov_.GridResults[k](0, r); }
  double V(int k, int r, int s) const { return cov_.GridResults[k](r, s); }

  void ParameterTable() {
    Line(analytical_ ? "Parameter values, step sizes, link codes, and definitions for "
                       "analytically calculated covariances:"
                     : "Parameter values, step sizes, link codes, and definitions for "
                       "numerically calculated covariances:");
    Line("");
    const AlgorithmData& alg = wb_.alg;
    // The results belong to the model they were calculated for; never read
    // past what either side holds.
    const int N = std::min({alg.ParameterCount, cov_.BaseValues.Size(), cov_.BaseSteps.Size(),
                            alg.FuseCodes.Size(), alg.Descriptions.Size()});
    for (int i = 1; i <= N; ++i) {
      Line(FormatNumber(i, " 000) ") + RJ(cov_.BaseValues[i], kE, 14) +
           RJ(cov_.BaseSteps[i], kE, 16) + " " + RJ(alg.FuseCodes[i], 3) + "  " +
           alg.Descriptions[i]);
    }
    Line("");
    Line(analytical_ ? "Analytical covariance results are redundant for all grids; likelihood "
                       "function value summary is meaningless"
                     : "Reliable numerical covariance results should be similar among three "
                       "grids with quite different grid factors");
    Line("");
    Line("Covariance constant: " + GeneralNumber(q_));
    Line("");
  }

  // Coefficient of variation of grid k; -1 where it cannot be computed (a
  // zero mean, a failed grid, analytical derivatives).
  double CoefficientOfVariation(int k) const {
    if (analytical_ || !cov_.GridSummaryValid[k] || cov_.GridMeans[k] == 0.0) return -1.0;
    return std::fabs(cov_.GridSDs[k] / cov_.GridMeans[k]);
  }

  void Summary() {
    Line(Blanks(31) + "Grid #1" + Blanks(11) + "Grid #2" + Blanks(11) + "Grid #3");
    Line("");
    const Vector& g = cov_.GridFactors;
    Line("Factors:" + Blanks(14) + "1) " + RJ(g[1], kE, 13) + "  2) " + RJ(g[2], kE, 13) + "  3) " +
         RJ(g[3], kE, 13));
    Line("");
    Line("Likelihood function value summary:");
    std::string mean = "   Mean:" + Blanks(12);
    std::string sd = "   Std Dev:" + Blanks(9);
    std::string cv = "   Coef of Var:" + Blanks(5);
    for (int k = 1; k <= kCovarianceGrids; ++k) {
      // A mean of exactly 0 is a true value and is printed as such; only the
      // coefficient of variation, which would divide by it, shows -1.
      mean += RJ(analytical_ ? cov_.BaseObjective * q_ : cov_.ScaledGridMean(k), kE, 18);
      sd += RJ(analytical_ ? -1.0 : cov_.ScaledGridSD(k), kE, 18);
      cv += RJ(CoefficientOfVariation(k), kF, 18);
    }
    Line(mean);
    Line(sd);
    Line(cv);
    Line("");
  }

  void StandardErrors() {
    Line("Par#" + Blanks(31) + "Standard errors of the estimates");
    for (int r = 1; r <= n(); ++r) {
      TableLine(RJ(IntText(Index(r)), 3) + RJ(SE(1, r), kE, 35) + RJ(SE(2, r), kE, 18) +
                RJ(SE(3, r), kE, 18));
    }
  }

  std::string Probability(double estimate, double se) const {
    if (se == -1.0) return FormatNumber(-1.0, kP);
    float t = static_cast<float>(std::fabs(estimate / se));
    return ProbabilityText(TwoSidedTProbability(t));
  }

  void Probabilities() {
    Line("");
    Line("Par#" + Blanks(15) + "Probabilities that the estimates do not differ from 0, then 1");
    for (int r = 1; r <= n(); ++r) {
      const double x = cov_.BaseValues[Index(r)];
      std::string line = RJ(IntText(Index(r)), 3) + Blanks(17);
      for (int k = 1; k <= kCovarianceGrids; ++k)
        line += RJ(Probability(x, SE(k, r)), 10) + RJ(Probability(x - 1.0, SE(k, r)), 8);
      TableLine(line);
    }
    if (cov_.OptimisticSEs) {
      Line("");
      Line(
          "Note: The above SE estimates are optimistic (under-estimated) conditional "
          "estimates");
    }
  }

  double Correlation(int k, int r, int s) const {
    const double product = SE(k, r) * SE(k, s);
    return product != 0.0 ? V(k, r, s) / product : -1.0;
  }

  void Correlations() {
    Line("");
    Line("Par#,Par#" + Blanks(35) + "Correlations");
    for (int r = 1; r <= n() - 1; ++r) {
      for (int s = r + 1; s <= n(); ++s) {
        TableLine(RJ(IntText(Index(r)), 3) + RJ(IntText(Index(s)), 5) +
                  RJ(Correlation(1, r, s), kF, 30) + RJ(Correlation(2, r, s), kF, 18) +
                  RJ(Correlation(3, r, s), kF, 18));
      }
    }
  }

  void Covariances() {
    Line("");
    Line("Par#,Par#" + Blanks(35) + "Covariances");
    for (int r = 1; r <= n(); ++r) {
      for (int s = r; s <= n(); ++s) {
        TableLine(RJ(IntText(Index(r)), 3) + RJ(IntText(Index(s)), 5) + RJ(V(1, r, s), kE, 30) +
                  RJ(V(2, r, s), kE, 18) + RJ(V(3, r, s), kE, 18));
      }
    }
  }

  // Determinant of the correlation matrix: that of the covariance matrix over
  // the product of the variances.
  double CorrelationDeterminant(int k) const {
    const double product = cov_.GridResults[k](1, 0);
    if (product == 0.0 || product == -1.0) return -1.0;
    return cov_.GridResults[k](0, 0) / product;
  }

  void Determinants() {
    Line("");
    Line(Blanks(44) + "Determinants");
    std::string covariance = "Covariance Matrix:  ";
    std::string correlation = "Correlation Matrix: ";
    for (int k = 1; k <= kCovarianceGrids; ++k) {
      covariance += RJ(cov_.GridResults[k](0, 0), kE, 18);
      correlation += RJ(CorrelationDeterminant(k), kE, 18);
    }
    Line(covariance);
    Line(correlation);
  }

  Workbench& wb_;
  CovarianceState& cov_;
  Desktop& desktop_;
  double q_;
  bool analytical_;
  std::string text_;
};

}  // namespace

std::optional<double> TwoSidedTProbability(float t) {
  if (t >= 20.0f) return std::nullopt;
  const double u0 = t;
  const double pi = 4.0 * std::atan(1.0);
  const double K = std::exp(LogGamma(500.0) - LogGamma(499.5) - std::log(std::sqrt(999.0 * pi)));
  // Simpson's rule over 4000 intervals from -20 up to t.
  const double h = (u0 + 20.0) / 4000.0;
  double sum = 0.0;
  for (int i = 1999; i >= -2000; --i) {
    const double u = u0 - (2000 - i) * h;
    sum += (Kernel(u + h) + 4.0 * Kernel(u + h / 2.0) + Kernel(u)) * h / 6.0;
  }
  const double cumulative = K * sum;
  const double tail = 1.0 - std::floor(cumulative * 10000.0 + 0.5) / 10000.0;
  const double twoSided = 2.0 * (std::round(tail * 10000.0) / 10000.0);
  if (twoSided < 0.0001) return std::nullopt;
  return twoSided;
}

std::string ProbabilityText(const std::optional<double>& probability) {
  return probability ? FormatNumber(*probability, kP) : std::string(kBelowResolution);
}

std::string BuildCovarianceReport(Workbench& wb, Desktop& desktop) {
  wb.covariance.CovarianceReport = ReportWriter(wb, desktop).Build();
  return wb.covariance.CovarianceReport;
}

std::string CovarianceFileHeader(const std::string& path) {
  return SavedReportHeader(path);
}

std::string CovarianceFileFilter(const std::string& algorithmFileName) {
  return "All files (*.*)|*.*|Covariance files (*.cov)|*.cov|Named for algorithm file (" +
         algorithmFileName + ".*)|" + algorithmFileName + ".*|";
}

std::string DefaultCovarianceFileName(const DateTime& now) {
  return DateTimeName(now) + ".cov";
}

std::optional<std::string> SaveCovarianceFile(Workbench& wb, Desktop& desktop,
                                              std::string& windowText) {
  FileDialogRequest request;
  request.title = "Save covariance data in...";
  request.filter = CovarianceFileFilter(wb.alg.AlgorithmFileName);
  request.filterIndex = 3;
  request.proposedName = DefaultCovarianceFileName(desktop.Now());
  request.confirmOverwrite = true;
  return SaveReportFile(desktop, request, "Covariance file not saved", windowText);
}

}  // namespace estimetrix
