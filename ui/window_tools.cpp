#include "ui/window_tools.h"

#include <QFontDatabase>
#include <QPlainTextEdit>

namespace estimetrix {

QWidget* Frame(QWidget* window) {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) return frame;
  return window;
}

void Place(AppContext& ctx, QWidget* window, int leftTwips, int topTwips) {
  if (ctx.mdi) {
    auto* frame = new QMdiSubWindow;
    frame->setWidget(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    ctx.mdi->addSubWindow(frame);
  } else {
    window->setParent(ctx.mainWindow, Qt::Window);
  }
  Frame(window)->move(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
}

void BringToFront(AppContext& ctx, QWidget* window) {
  QWidget* frame = Frame(window);
  window->show();
  frame->show();
  frame->showNormal();
  frame->raise();
  if (auto* child = qobject_cast<QMdiSubWindow*>(frame); child && ctx.mdi)
    ctx.mdi->setActiveSubWindow(child);
  else
    frame->activateWindow();
}

QPlainTextEdit* MonospacedText(QWidget* parent) {
  auto* text = new QPlainTextEdit(parent);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return text;
}

}  // namespace estimetrix
