#pragma once
// The prior profile: one parameter's prior evaluated over a grid spanning its
// family's domain, summarised like a posterior, plotted and tabled.

#include <string>

#include "engine/state/distribution_summary.h"

namespace estimetrix {

class Desktop;
class PlotView;
class ReportView;
struct Workbench;

// The whole dialogue: the explanation (OK/Cancel), the plot menu, the
// parameter (default `selectedParameter`, 1 when it is out of range) and the
// number of points, then the evaluation over the family's domain, the
// summary, the plot (DistributionKind::Prior) and the table (ReportKind::
// PriorDistributions). Results stay in wb.priorProfile. A prompt answered
// with no number is asked again. False when the user ended the dialogue.
bool ProfilePriorDistribution(Workbench& wb, Desktop& desktop, int selectedParameter,
                              ReportView& reports, PlotView& plots);

// The prior distribution table ("Bayesian prior distribution data") with the
// cumulative and attenuated columns.
std::string PriorDistributionsText(const DistributionPoints& points);

}  // namespace estimetrix
