#pragma once
// Times as the progress texts show them, from the desktop's clock.

#include <string>

namespace estimetrix {

class Desktop;

// "m:ss" from seconds (rounded), for "Estimated time remaining (m:s): ".
std::string MinutesSeconds(double seconds);

// Seconds since `start` on the seconds-since-midnight clock, across midnight.
double SecondsSince(Desktop& desktop, double start);

// "Estimated time remaining (m:s): " for `remaining` more of what took the
// time since `start` for `done`.
std::string TimeRemainingText(Desktop& desktop, double start, double done, double remaining);

// "hh:mm:ss" of the desktop's clock.
std::string ClockText(Desktop& desktop);

}  // namespace estimetrix
