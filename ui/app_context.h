#pragma once
// What every command of the workbench window needs: the session state, the
// desktop, the menu form and the window that hosts child windows.

#include "engine/state/menu_view.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

class QMdiArea;
class QWidget;

namespace estimetrix {

class AlgorithmEditor;
class PlotView;

struct AppContext {
  Workbench& wb;
  Desktop& desktop;
  MenuView& menu;
  QMdiArea* mdi = nullptr;     // hosts the child windows
  QWidget* mainWindow = nullptr;
  AlgorithmEditor* editor = nullptr;  // the open algorithm data editor, if any
  PlotView* plots = nullptr;          // the plot windows (none: plots are not shown)
};

}  // namespace estimetrix
