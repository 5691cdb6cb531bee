#include "plots/plot_windows.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QPointer>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "plots/bivariate_plot_window.h"
#include "plots/distribution_curves.h"
#include "plots/distribution_plot_window.h"
#include "plots/plot_checks.h"
#include "plots/plot_export.h"
#include "plots/plot_tables.h"
#include "plots/xy_plot_window.h"

namespace estimetrix {

namespace {

const QSize kPlotSize(960, 720);

}  // namespace

namespace {

// Each kind of plot has one window, made when its first plot arrives: an
// MDI child (closing its frame only hides it) or a top-level window.
class WindowPlotView : public PlotView {
 public:
  WindowPlotView(QMdiArea* mdi, QWidget* parent) : mdi_(mdi), parent_(parent) {}

  ~WindowPlotView() override {
    // Windows without an owner die with the view; owned ones with their owner.
    for (QWidget* window : unowned_)
      if (window) delete window;
  }

  void ShowXY(const XYPlot& plot) override {
    if (!xy_) xy_ = Place(new XYPlotWindow);
    xy_->AddPage(plot);
    BringToFront(xy_);
  }

  void ShowDistribution(const DistributionPlot& plot) override {
    QPointer<DistributionPlotWindow>& window = distributions_[plot.kind];
    if (!window) window = Place(new DistributionPlotWindow(plot.kind));
    window->SetPlot(plot);
    BringToFront(window);
  }

  void ShowBivariate(const BivariatePlot& plot) override {
    if (!bivariate_) bivariate_ = Place(new BivariatePlotWindow);
    bivariate_->SetPlot(plot);
    BringToFront(bivariate_);
  }

 private:
  template <class Window>
  Window* Place(Window* window) {
    if (mdi_) {
      auto* frame = new QMdiSubWindow;
      frame->setWidget(window);
      frame->setAttribute(Qt::WA_DeleteOnClose, false);
      mdi_->addSubWindow(frame);
      // Whole inside the workspace, so that the plot, its legend and the
      // line under it are all in view on a small screen (1366 x 768).
      const QSize room = mdi_->viewport()->size();
      frame->resize(kPlotSize.boundedTo(room));
      const QPoint corner(std::min(frame->x(), std::max(0, room.width() - frame->width())),
                          std::min(frame->y(), std::max(0, room.height() - frame->height())));
      frame->move(corner);
    } else {
      window->setParent(parent_, Qt::Window);
      QSize size = kPlotSize;
      if (const QScreen* screen = window->screen()) {
        // Room for the window frame and title bar.
        size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
      }
      window->resize(size);
      if (!parent_) unowned_.push_back(window);
    }
    return window;
  }

  void BringToFront(QWidget* window) {
    auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    window->show();
    if (frame) {
      frame->show();
      frame->showNormal();
      frame->raise();
      if (mdi_) mdi_->setActiveSubWindow(frame);
    } else {
      window->raise();
      window->activateWindow();
    }
  }

  QMdiArea* mdi_;
  QWidget* parent_;
  QPointer<XYPlotWindow> xy_;
  std::map<DistributionKind, QPointer<DistributionPlotWindow>> distributions_;
  QPointer<BivariatePlotWindow> bivariate_;
  std::vector<QPointer<QWidget>> unowned_;
};

// Draws each plot in a window that is never shown and writes it as SVG and
// PNG. Names come from the plot; a name met again in the run gets "-2", "-3".
class PlotFileWriter : public PlotView {
 public:
  PlotFileWriter(const std::string& folder, std::ostream& errors)
      : folder_(folder), errors_(errors) {}

  void ShowXY(const XYPlot& plot) override {
    XYPlotWindow window;
    window.AddPage(plot);
    Write(window, PlotFileStem(plot.title));
  }

  void ShowDistribution(const DistributionPlot& plot) override {
    std::string problem = DistributionProblem(plot);
    if (!problem.empty()) {
      errors_ << "The distribution plot of parameter " << plot.parameter
              << " was not written: " << problem << ".\n";
      return;
    }
    DistributionPlotWindow window(plot.kind);
    window.SetPlot(plot);
    for (DistributionCurve curve : kDistributionCurves) {
      window.ShowCurve(curve);
      Write(window, DistributionFileStem(plot, curve));
    }
  }

  void ShowBivariate(const BivariatePlot& plot) override {
    std::string problem = BivariateProblem(plot);
    if (!problem.empty()) {
      errors_ << "The bivariate plot of parameters " << plot.xParameter << " and "
              << plot.yParameter << " was not written: " << problem << ".\n";
      return;
    }
    BivariatePlotWindow window;
    window.SetPlot(plot);
    Write(window,
          "bivariate-" + std::to_string(plot.xParameter) + "-" + std::to_string(plot.yParameter));
  }

 private:
  bool FolderReady() {
    std::error_code failure;
    std::filesystem::create_directories(folder_, failure);
    if (failure) {
      errors_ << "Could not make the plot folder " << folder_ << ": " << failure.message() << "\n";
      return false;
    }
    return true;
  }

  void Write(PlotWindow& window, const std::string& stem) {
    if (!FolderReady()) return;
    std::string name = stems_.Take(stem);
    QSize size = window.ExportSize();
    for (const char* extension : {".svg", ".png"}) {
      std::string path = (std::filesystem::path(folder_) / (name + extension)).string();
      QString error;
      if (!RenderPlot(*window.Plot(), QString::fromStdString(path), size.width(), size.height(),
                      &error))
        errors_ << "Could not write the plot file " << path << ": " << error.toStdString() << "\n";
    }
  }

  std::string folder_;
  std::ostream& errors_;
  UniqueStems stems_;
};

}  // namespace

std::unique_ptr<PlotView> NewWindowPlotView(QMdiArea* mdi, QWidget* parent) {
  return std::make_unique<WindowPlotView>(mdi, parent);
}

std::unique_ptr<PlotView> NewPlotFileWriter(const std::string& folder, std::ostream& errors) {
  return std::make_unique<PlotFileWriter>(folder, errors);
}

}  // namespace estimetrix
