#pragma once
// The small informational windows of the menu bar: "&Defaults etc.",
// "&Wisdom" and "&About" / "&Credits". Each is modal, so the main window takes
// no input while it is open, and closes with its OK button.

class QWidget;

namespace estimetrix {

struct Workbench;

// The Defaults window also holds the session's settings (the thread count
// and the results summary's random seed).
void ShowDefaultsWindow(QWidget* mainWindow, Workbench& wb);
void ShowWisdomWindow(QWidget* mainWindow);
void ShowCreditsWindow(QWidget* mainWindow);

}  // namespace estimetrix
