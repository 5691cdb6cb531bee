#pragma once
// The estimate behind a question about a long computation (the posterior's
// and the likelihood profile's "Function calls required"): kept on the
// workbench while the question is asked, so that an unattended run can weigh
// it against its time budget instead of reading it out of the text.

namespace estimetrix {

struct LongRunEstimate {
  long long calls = 0;          // function calls still to make
  double secondsPerCall = 0.0;  // as measured, on the threads below
  int threads = 1;
  double seconds = 0.0;  // the estimated time of those calls
};

}  // namespace estimetrix
