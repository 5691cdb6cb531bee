#pragma once
// A workbench window for the window tests, with a scripted desktop answering
// its dialogues and the small quadratic test model standing in for Carapex.

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"
#include "ui/main_window.h"
#include "ui/menu_form.h"

namespace estimetrix::testing {

enum class Stage { Start, Initialized, Loaded };

struct Session {
  explicit Session(Stage stage = Stage::Start, int n = 2) {
    if (stage != Stage::Start) Initialize(n);
    if (stage == Stage::Loaded) LoadData();
    window.show();
    window.MenuForm().ShowMenu();
  }

  // As "Initialize model" leaves things.
  void Initialize(int n) { InitializeQuadratic(wb, n); }

  // As a successful load leaves things.
  void LoadData() { LoadQuadraticStart(wb); }

  QuadraticModel& Model() { return static_cast<QuadraticModel&>(*wb.model); }

  // Every dialogue shown and every scripting failure, for failure messages.
  QString Transcript() const {
    QStringList lines;
    for (const DialogRecord& record : desktop.Transcript())
      lines << QString::fromStdString(record.title + ": " + record.text);
    for (const std::string& failure : desktop.Failures())
      lines << QString::fromStdString("FAILURE " + failure);
    return lines.join('\n');
  }

  Workbench wb;
  ScriptedDesktop desktop;
  MainWindow window{wb, desktop};
};

}  // namespace estimetrix::testing
