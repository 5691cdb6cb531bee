#include "engine/base/time_text.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "platform/desktop.h"

namespace estimetrix {

std::string MinutesSeconds(double seconds) {
  const long long total =
      static_cast<long long>(std::floor(std::max(std::isfinite(seconds) ? seconds : 0.0, 0.0) +
                                        0.5));
  const long long rest = total % 60;
  return IntText(total / 60) + ":" + (rest < 10 ? "0" : "") + IntText(rest);
}

double SecondsSince(Desktop& desktop, double start) {
  const double elapsed = desktop.SecondsSinceMidnight() - start;
  return elapsed < 0.0 ? elapsed + 86400.0 : elapsed;
}

std::string TimeRemainingText(Desktop& desktop, double start, double done, double remaining) {
  const double seconds = SecondsSince(desktop, start) / done * remaining;
  return "Estimated time remaining (m:s): " + MinutesSeconds(seconds);
}

std::string ClockText(Desktop& desktop) {
  const DateTime now = desktop.Now();
  return FormatNumber(now.hour, "00") + ":" + FormatNumber(now.minute, "00") + ":" +
         FormatNumber(now.second, "00");
}

}  // namespace estimetrix
