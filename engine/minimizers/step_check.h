#pragma once
// A minimizer moves each free parameter by its step (the Simplex's vertices)
// and by the reduced step of the axial search. A step so small against its
// value that value + step rounds back to value moves nothing: every vertex
// is the same point and the search "converges" where it started. This check
// refuses such a run before it starts.

#include <string>

namespace estimetrix {

class Desktop;
struct Workbench;

// True when every free parameter (wb.free, already built) moves by its step
// both ways, and by StepReductionFraction x step both ways when that
// fraction is not 0. Otherwise shows one exclamation message titled `title`
// naming each parameter that cannot move, and returns false.
bool StepsCanMoveParameters(const Workbench& wb, Desktop& desktop, const std::string& title);

}  // namespace estimetrix
