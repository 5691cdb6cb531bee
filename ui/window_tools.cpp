#include "ui/window_tools.h"

#include <QAction>
#include <QFontDatabase>
#include <QList>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStyle>
#include <QRect>

namespace estimetrix {

QWidget* Frame(QWidget* window) {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) return frame;
  return window;
}

void Place(AppContext& ctx, QWidget* window, int leftTwips, int topTwips) {
  if (ctx.mdi) {
    // The frame takes the size the window asked for, plus its border and title.
    const QSize wanted = window->size();
    auto* frame = new QMdiSubWindow;
    frame->setWidget(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    ctx.mdi->addSubWindow(frame);
    const int border = frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    const int title = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
    frame->resize(wanted.width() + 2 * border, wanted.height() + title + border);
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

void ArrangeWindows(AppContext& ctx, Arrangement how) {
  QMdiArea* area = ctx.mdi;
  if (!area) return;
  if (how == Arrangement::Cascade) {
    area->cascadeSubWindows();
    return;
  }
  QList<QMdiSubWindow*> open, minimized;
  for (QMdiSubWindow* window : area->subWindowList()) {
    if (!window->isVisible()) continue;
    (window->isMinimized() ? minimized : open).append(window);
  }
  const QRect space = area->viewport()->rect();
  if (how == Arrangement::ArrangeIcons) {
    int x = 0;
    for (QMdiSubWindow* window : minimized) {
      window->move(x, space.height() - window->height());
      x += window->width();
    }
    return;
  }
  const int count = static_cast<int>(open.size());
  for (int k = 0; k < count; ++k) {
    open[k]->setGeometry(
        how == Arrangement::TileHorizontal
            ? QRect(0, k * space.height() / count, space.width(), space.height() / count)
            : QRect(k * space.width() / count, 0, space.width() / count, space.height()));
  }
}

void AddWindowArrangementItems(QMenu* menu, QObject* owner, AppContext& ctx) {
  AppContext* context = &ctx;
  auto addItem = [&](const char* caption, Arrangement how) {
    QObject::connect(menu->addAction(caption), &QAction::triggered, owner,
                     [context, how] { ArrangeWindows(*context, how); });
  };
  addItem("&Cascade", Arrangement::Cascade);
  addItem("Tile &Horizontal", Arrangement::TileHorizontal);
  addItem("Tile &Vertical", Arrangement::TileVertical);
  addItem("&Arrange Icons", Arrangement::ArrangeIcons);
}

}  // namespace estimetrix
