// The Estimetrix workbench window. With --example it starts with the bundled
// example model initialised and its algorithm data loaded.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <string>

#include "engine/commands/commands.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "ui/main_window.h"
#include "ui/menu_form.h"
#include "ui/qt_desktop.h"

namespace {

using namespace estimetrix;

constexpr const char* kExampleSetup = "examples/dungeness/dungeness.setup";

// The example lives in the source tree: look beside the working directory
// and above the program (build-*/app/estimetrix sits two levels below it).
QString FindExampleSetup() {
  QStringList roots = {QDir::currentPath()};
  QDir dir(QCoreApplication::applicationDirPath());
  for (int up = 0; up < 4; ++up) {
    roots << dir.absolutePath();
    if (!dir.cdUp()) break;
  }
  for (const QString& root : roots) {
    QFileInfo candidate(QDir(root).filePath(kExampleSetup));
    if (candidate.isFile()) return candidate.absoluteFilePath();
  }
  return {};
}

void OpenExample(Workbench& wb, Desktop& desktop, MenuView& menu) {
  const std::string title = "Example";
  QString setupPath = FindExampleSetup();
  if (setupPath.isEmpty()) {
    desktop.Inform(title,
                   std::string("The bundled example (") + kExampleSetup +
                       ") was not found. Estimetrix starts without a model: use "
                       "\"Initialize model\" to choose your own data files.",
                   Icon::Exclamation);
    return;
  }
  std::string algorithmPath, error;
  auto setup = ReadSetupFile(setupPath.toStdString(), algorithmPath, error);
  if (!setup) {
    desktop.Inform(title, "The example set-up file could not be read:\n\n" + error,
                   Icon::Exclamation);
    return;
  }
  if (!InitializeCarapex(wb, desktop, *setup)) return;  // its message has been shown
  menu.ShowMenu();
  if (algorithmPath.empty()) return;
  // As a successful load from the menu leaves things.
  if (LoadAlgorithmFile(wb, desktop, algorithmPath))
    ApplyCommandOutcome(MenuButton::LoadAlg, CommandOutcome::Done, menu, wb);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Estimetrix");
  bool example = app.arguments().contains("--example");

  Workbench wb;
  QtDesktop desktop;
  MainWindow window(wb, desktop);
  desktop.Attach(&window, &window);
  QObject::connect(&window, &MainWindow::quitConfirmed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  window.show();

  if (example) {
    // After the window is on screen, so its messages have a parent to sit on.
    QTimer::singleShot(0, &window, [&] { OpenExample(wb, desktop, window.MenuForm()); });
  }
  return app.exec();
}
