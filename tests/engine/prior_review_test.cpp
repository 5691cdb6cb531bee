#include "engine/prior_review.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/report_file.h"
#include "engine/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

Workbench Bench(int n) {
  Workbench wb;
  wb.alg.ParameterCount = n;
  wb.alg.Values.Resize(1, n, 0.0);
  wb.priors.Resize(n);
  return wb;
}

// The text after the fixed explanation (which ends with two empty lines).
std::string Lines(const std::string& review) {
  const size_t end = review.find("*.pdp files.\n\n\n");
  return end == std::string::npos ? review : review.substr(end + 15);
}

TEST(ReviewPriors, AllUniformListsNoParameterAndACertainModel) {
  Workbench wb = Bench(3);
  const std::string review = ReviewPriors(wb);
  EXPECT_EQ(review.substr(0, 97),
            "Note: Here is a chance to review the likelihood of your current parameter estimates "
            "relative to \n");
  EXPECT_EQ(Lines(review),
            "\n           The entire model has a prior -ln[L] of     0.00 and a prior likelihood "
            "of 1.000000\n");
}

TEST(ReviewPriors, ShowsEachPriorsOwnTermAtTheCurrentValues) {
  Workbench wb = Bench(4);
  wb.covariance.LikelihoodScale = 3.0;  // the review shows -ln priors themselves, unscaled
  wb.priors.Type[1] = PriorType::N;
  wb.priors.Term1[1] = 2.0;
  wb.priors.Term2[1] = 0.5;
  wb.alg.Values[1] = 3.0;
  wb.priors.Type[2] = PriorType::S;
  wb.priors.Term1[2] = 0.0;
  wb.priors.Term2[2] = 1.0;
  wb.alg.Values[2] = 0.0;
  wb.priors.Type[4] = PriorType::G;
  wb.priors.Term1[4] = 0.0;
  wb.priors.Term2[4] = 1.0;
  wb.alg.Values[4] = -12.5;

  EXPECT_EQ(Lines(ReviewPriors(wb)),
            "Parameter   1 at  3.000E+00 has a prior -ln[L] of     2.00 and a prior likelihood of "
            "0.135335\n"
            "Parameter   2 at  0.000E+00 has a prior -ln[L] of     0.69 and a prior likelihood of "
            "0.500000\n"
            "Parameter   4 at -1.250E+01 cannot be reviewed: The Gamma prior of parameter 4 has a "
            "mean of 0.\n"
            "\n           The entire model has a prior -ln[L] of     2.69 and a prior likelihood "
            "of 0.067668\n");
  EXPECT_DOUBLE_EQ(wb.priors.PriorParameterTerms[1], 2.0);

  // A value outside the exponential's support: its penalty is shown whole.
  wb.priors.Type[4] = PriorType::E;
  wb.priors.Term1[4] = 4.0;
  wb.priors.Term2[4] = 4.0;
  wb.alg.Values[4] = -1.0;
  const std::string lines = Lines(ReviewPriors(wb));
  EXPECT_NE(lines.find("Parameter   4 at -1.000E+00 has a prior -ln[L] of "
                       "100000000000000000000.00 and a prior likelihood of 0.000000\n"),
            std::string::npos)
      << lines;
}

TEST(ReviewPriors, SavedReviewFileIsTheHeaderAndTheText) {
  testing::TemporaryFolder folder;
  Workbench wb = Bench(1);
  wb.priors.Type[1] = PriorType::D;
  wb.priors.Term1[1] = 1.0;
  wb.priors.Term2[1] = 0.0;
  wb.alg.Values[1] = 0.5;
  std::string text = ReviewPriors(wb);
  const std::string path = folder.File("review.rvp");
  std::string error;
  ASSERT_TRUE(WriteReportFile(path, text, error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string saved = bytes.str();
  EXPECT_EQ(saved.substr(0, 37 + path.size() + 4),
            "Originally saved with the file name: " + path + "\r\n\r\n");
  const std::string tail =
      "Parameter   1 at  5.000E-01 has a prior -ln[L] of     0.00 and a prior likelihood of "
      "1.000000\r\n"
      "\r\n"
      "           The entire model has a prior -ln[L] of     0.00 and a prior likelihood of "
      "1.000000\r\n";
  ASSERT_GE(saved.size(), tail.size());
  EXPECT_EQ(saved.substr(saved.size() - tail.size()), tail);
  EXPECT_NE(saved.find("saved in *.pdp files.\r\n\r\n\r\nParameter"), std::string::npos);
}

}  // namespace
}  // namespace estimetrix
