#pragma once
// Small helpers shared by the child windows: our texts as Qt's, the colour of
// an edited cell, twips to pixels, placing a window in the main window's MDI
// area, bringing it to the front, finding the one instance of a window class,
// a read-only monospaced text area, and the Window menu's arrangement items.

#include <QColor>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <QWidget>
#include <string>

#include "ui/app_context.h"

class QMenu;
class QPlainTextEdit;

namespace estimetrix {

// Our texts (UTF-8) as Qt's.
inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The background of a cell or row the user has changed and not yet applied:
// light red.
inline const QColor kEditedColour(255, 200, 200);

// 15 twips to a logical pixel (96 dots per inch); Qt scales logical pixels by
// the screen's device-pixel ratio itself.
inline int TwipsToPixels(int twips) {
  return twips / 15;
}

// The frame that shows a window: its MDI child frame, or the window itself.
QWidget* Frame(QWidget* window);

// Puts a new window into the MDI area (closing its frame only hides it), or
// makes it a top-level window of the main window, at the given position.
void Place(AppContext& ctx, QWidget* window, int leftTwips, int topTwips);

void BringToFront(AppContext& ctx, QWidget* window);

// A read-only text area in the system's fixed-width font, not wrapping lines:
// reports are laid out in columns.
QPlainTextEdit* MonospacedText(QWidget* parent);

enum class Arrangement { Cascade, TileHorizontal, TileVertical, ArrangeIcons };

// Arranges the visible windows of the MDI area: cascaded, tiled one above
// the other or side by side, or the minimized ones lined up along the bottom.
void ArrangeWindows(AppContext& ctx, Arrangement how);

// "&Cascade", "Tile &Horizontal", "Tile &Vertical" and "&Arrange Icons" added
// to `menu`, each arranging the windows while `owner` lives.
void AddWindowArrangementItems(QMenu* menu, QObject* owner, AppContext& ctx);

// The one window of a class among the main window's children, or nullptr.
template <class Window>
Window* FindWindow(AppContext& ctx) {
  if (ctx.mdi) {
    for (QMdiSubWindow* child : ctx.mdi->subWindowList())
      if (auto* window = qobject_cast<Window*>(child->widget())) return window;
  }
  if (ctx.mainWindow)
    return ctx.mainWindow->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly);
  return nullptr;
}

}  // namespace estimetrix
