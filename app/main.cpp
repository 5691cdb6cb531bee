// The Estimetrix workbench window. With --example it starts with the bundled
// example model initialised and its algorithm data loaded; --version prints
// the version and stops.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <cstring>
#include <iostream>
#include <string>

#include "engine/commands/commands.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "estimetrix_version.h"
#include "model/initialize.h"
#include "ui/main_window.h"
#include "ui/menu_form.h"
#include "ui/qt_desktop.h"

namespace {

using namespace estimetrix;

constexpr const char* kExampleSetup = "examples/dungeness/dungeness.setup";

// The example is in the source tree, or installed beside the program
// (PREFIX/bin/estimetrix and PREFIX/share/estimetrix/examples): look beside the
// working directory, above the program (build-*/app/estimetrix sits two levels
// below the source tree) and in the installed share folder.
QString FindExampleSetup() {
  const QString program = QCoreApplication::applicationDirPath();
  QStringList candidates = {
      QDir::current().filePath(kExampleSetup),
      QDir(program).filePath("../share/estimetrix/" + QString(kExampleSetup))};
  QDir dir(program);
  for (int up = 0; up < 4; ++up) {
    candidates << dir.filePath(kExampleSetup);
    if (!dir.cdUp()) break;
  }
  for (const QString& path : candidates) {
    QFileInfo candidate(path);
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
  // Before the application object, so it needs no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "estimetrix (Estimetrix) " ESTIMETRIX_VERSION "\n";
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Estimetrix");
  QApplication::setApplicationVersion(ESTIMETRIX_VERSION);
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
