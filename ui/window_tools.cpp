#include "ui/window_tools.h"

#include <algorithm>

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
  const QRect space = area->viewport()->rect();
  if (how == Arrangement::ArrangeIcons) {
    // Minimized windows in rows along the bottom, left to right.
    int x = 0, y = space.height();
    for (QMdiSubWindow* window : area->subWindowList()) {
      if (!window->isVisible() || !window->isMinimized()) continue;
      const QSize size = window->size();
      if (x > 0 && x + size.width() > space.width()) {
        x = 0;
        y -= size.height();
      }
      window->move(x, std::max(0, y - size.height()));
      x += size.width();
    }
    return;
  }
  QList<QMdiSubWindow*> open;
  for (QMdiSubWindow* window : area->subWindowList())
    if (window->isVisible() && !window->isMinimized()) open << window;
  const int count = static_cast<int>(open.size());
  for (int k = 0; k < count; ++k) {
    QMdiSubWindow* window = open[k];
    if (window->isMaximized()) window->showNormal();
    if (how == Arrangement::TileHorizontal) {
      const int top = space.height() * k / count, bottom = space.height() * (k + 1) / count;
      window->setGeometry(0, top, space.width(), bottom - top);
    } else {
      const int left = space.width() * k / count, right = space.width() * (k + 1) / count;
      window->setGeometry(left, 0, right - left, space.height());
    }
  }
}

void AddWindowArrangementItems(QMenu* menu, QObject* owner, AppContext& ctx) {
  AppContext* context = &ctx;
  auto addItem = [&](const char* name, const char* caption, Arrangement how) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    QObject::connect(item, &QAction::triggered, owner,
                     [context, how] { ArrangeWindows(*context, how); });
  };
  addItem("mnuCascade", "&Cascade", Arrangement::Cascade);
  addItem("mnuTileHorizontal", "Tile &Horizontal", Arrangement::TileHorizontal);
  addItem("mnuTileVertical", "Tile &Vertical", Arrangement::TileVertical);
  addItem("mnuArrangeIcons", "&Arrange Icons", Arrangement::ArrangeIcons);
}

}  // namespace estimetrix
