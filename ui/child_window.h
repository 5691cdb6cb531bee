#pragma once
// The one instance of a progress window: found among the main window's
// children when it exists, created (as an MDI child when there is an MDI
// area, else as a top-level window) when it does not. Closing such a window
// only hides it, so a computation that still reports to it never writes into
// a deleted window.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

#include "ui/app_context.h"

namespace estimetrix {

template <class Window>
Window* FindOrCreateChildWindow(AppContext& ctx) {
  if (ctx.mdi) {
    for (QMdiSubWindow* child : ctx.mdi->subWindowList())
      if (auto* window = qobject_cast<Window*>(child->widget())) return window;
    auto* window = new Window(ctx);
    auto* frame = new QMdiSubWindow;
    frame->setWidget(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    ctx.mdi->addSubWindow(frame);
    return window;
  }
  if (ctx.mainWindow) {
    if (auto* window = ctx.mainWindow->template findChild<Window*>()) return window;
    auto* window = new Window(ctx, ctx.mainWindow);
    window->setWindowFlag(Qt::Window);
    return window;
  }
  return nullptr;
}

}  // namespace estimetrix
