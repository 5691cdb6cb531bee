#pragma once
// The chooser of parameter evaluations (frmParEvals): a Bayesian posterior,
// a likelihood profile, Markov chain sampling of the posterior, or Cancel.

#include <QWidget>

#include "engine/commands/evaluation_commands.h"

class QPushButton;

namespace estimetrix {

struct AppContext;

class frmParEvals : public QWidget {
  Q_OBJECT
 public:
  explicit frmParEvals(AppContext& ctx, QWidget* parent = nullptr);

  // What a button runs: the chooser closes, then the evaluation runs.
  void Choose(EvaluationChoice choice);

  QPushButton* posteriorButton() const { return posterior_; }
  QPushButton* profileButton() const { return profile_; }
  QPushButton* chainsButton() const { return chains_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& ctx_;
  QPushButton* posterior_ = nullptr;
  QPushButton* profile_ = nullptr;
  QPushButton* chains_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool choosing_ = false;
};

// Opens frmParEvals without blocking.
void OpenEvaluationChooser(AppContext& ctx);

}  // namespace estimetrix
