#pragma once
// The plot windows as the workbench's commands reach them, and the runner's
// plot files: both draw the arrays of engine/plot_data.h.

#include <memory>
#include <ostream>
#include <string>

#include "engine/state/report_views.h"

class QMdiArea;
class QWidget;

namespace estimetrix {

// Shows each plot in a plot window: an MDI child of `mdi`, or a top-level
// window owned by `parent` when there is no MDI area.
std::unique_ptr<PlotView> NewWindowPlotView(QMdiArea* mdi, QWidget* parent);

// Writes each plot as an SVG and a PNG file into `folder`, named after the
// plot; a file that cannot be written is reported to `errors`. Needs a
// QApplication (the offscreen platform will do).
std::unique_ptr<PlotView> NewPlotFileWriter(const std::string& folder, std::ostream& errors);

}  // namespace estimetrix
