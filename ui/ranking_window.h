#pragma once
// The ranking window frmRank ("Model selection, ranking and averaging"):
// competing models in the grid grdRank, the C-hat box, the averaging text
// and the buttons that run the ranking commands (ranking/ranking_commands.h).

#include <QWidget>
#include <map>

#include "ranking/ranking_commands.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace estimetrix {

struct AppContext;

class frmRank : public QWidget, public RankingView {
  Q_OBJECT
 public:
  explicit frmRank(AppContext& ctx, QWidget* parent = nullptr);

  // RankingView.
  void Refresh(const RankingSession& session) override;
  void FocusButton(RankButton button) override;
  void SetWindowVisible(bool visible) override;
  void OpenAlgorithmEditor() override;

  // Shows the session as it stands and marks the ranking exercise as active.
  void Open();
  // Runs the command behind a button, as a click does.
  CommandOutcome Run(RankButton button);

  QPushButton* Button(RankButton button) const { return buttons_.at(button); }
  QTableWidget* grid() const { return grdRank_; }
  QLabel* cHatBox() const { return lblCHat_; }
  QLabel* averageLabel() const { return lblAverage_; }
  QPlainTextEdit* averageText() const { return txtAverage_; }
  const RankingSession& session() const { return session_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* AddButton(RankButton button, const char* objectName, const char* caption,
                         const char* toolTip = nullptr);
  RankingContext Context();
  void OnCellDoubleClicked(int row, int column);

  AppContext& ctx_;
  RankingSession session_;
  bool finishing_ = false;
  QTableWidget* grdRank_ = nullptr;
  QLabel* lblCHat_ = nullptr;
  QLabel* lblAverage_ = nullptr;
  QPlainTextEdit* txtAverage_ = nullptr;
  std::map<RankButton, QPushButton*> buttons_;
};

// Opens the ranking window with an empty table (or brings an open one to the
// front) and marks the ranking exercise as active.
frmRank* OpenRankingWindow(AppContext& ctx);

}  // namespace estimetrix
