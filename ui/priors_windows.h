#pragma once
// The priors windows: the chooser frmLoadPriors ("Load Bayesian priors") and
// the editor frmSetPriors ("Set prior distributions"). Their commands live in
// engine/prior_commands.h and engine/prior_editor.h; the windows show what
// those leave and hand control back to the menu form or the ranking window.

#include <QWidget>
#include <set>

#include "engine/commands/prior_commands.h"
#include "engine/state/prior_table.h"

class QAction;
class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace estimetrix {

struct AppContext;

class frmLoadPriors : public QWidget {
  Q_OBJECT
 public:
  explicit frmLoadPriors(AppContext& ctx, QWidget* parent = nullptr);

  // Each opening: priors on, the kept simplex dropped, where to go back to.
  void Open(PriorsOrigin origin);
  PriorsOrigin Origin() const { return origin_; }

  // The four buttons, as clicks run them.
  void OpenFile();
  void SetOrReset();
  void UniformUnbounded();
  void Cancel();

  QPushButton* openButton() const { return open_; }
  QPushButton* setButton() const { return set_; }
  QPushButton* uniformButton() const { return uniform_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CloseWindow();
  void HandOverToEditor();

  AppContext& ctx_;
  PriorsOrigin origin_ = PriorsOrigin::MainMenu;
  bool handingOver_ = false;  // closing to open the editor: it hands control back
  QPushButton* open_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* uniform_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class frmSetPriors : public QWidget {
  Q_OBJECT
 public:
  // The grid's two header rows come before parameter 1.
  static constexpr int kHeaderRows = 2;
  static constexpr int kColumns = 7;

  explicit frmSetPriors(AppContext& ctx, QWidget* parent = nullptr);

  // Each opening: the grid filled afresh from the table, nothing selected.
  void Open(PriorsOrigin origin);

  // A click on grid row `row`: header rows are ignored.
  void SelectRow(int row);
  // The selected row's parameter, or 0 when no parameter's row is selected.
  int SelectedParameter() const;
  // A family menu item on the selected row's parameter.
  void SetFamily(PriorType type);
  void ShowHelp();
  void SavePriors();
  void ProfilePriors();
  // "&Finished": closes the window (which runs the closing sequence).
  void Finished();

  QTableWidget* grid() const { return grdSetPriors_; }
  QLabel* statusLine() const { return status_; }
  // The menu item with this caption (accelerators included), or nullptr.
  QAction* MenuItem(const QString& caption) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenuBar(QVBoxLayout* layout);
  void FillGrid();
  void RefreshRow(int parameter);
  void PaintRow(int parameter);

  AppContext& ctx_;
  PriorsOrigin origin_ = PriorsOrigin::MainMenu;
  bool closing_ = false;
  int selectedRow_ = -1;
  std::set<int> edited_;  // parameters changed since the window opened
  QTableWidget* grdSetPriors_ = nullptr;
  QLabel* status_ = nullptr;
};

// Opens the chooser from the main menu without blocking.
void OpenPriorsChooser(AppContext& ctx);
// Opens the chooser without blocking, handing control back to `origin`.
frmLoadPriors* OpenPriorsChooserFrom(AppContext& ctx, PriorsOrigin origin);
// Opens the editor from the main menu without blocking.
void OpenPriorsEditor(AppContext& ctx);
// Opens the editor without blocking, handing control back to `origin`.
frmSetPriors* OpenPriorsEditorFrom(AppContext& ctx, PriorsOrigin origin);

}  // namespace estimetrix
