#pragma once
// The window that shows the report of one function call.

#include <QWidget>

#include "engine/objective/objective.h"

class QPlainTextEdit;

namespace estimetrix {

struct AppContext;

class OneFunctionWindow : public QWidget, public OneFunctionView {
  Q_OBJECT
 public:
  explicit OneFunctionWindow(AppContext& ctx);

  void Show() override;
  void SetText(const std::string& text) override;
  QString Text() const;
  // Wide enough for a report line with a long description.
  QSize sizeHint() const override;

 protected:
  // Closing clears the report and brings the menu form back.
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& ctx_;
  QPlainTextEdit* text_ = nullptr;
};

// The session's one report window of "&1 Function call", created when first needed.
OneFunctionWindow* OneFunctionWindowFor(AppContext& ctx);

}  // namespace estimetrix
