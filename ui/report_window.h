#pragma once
// The report windows: the results summary (frmSummary), the prior review
// (frmReviewPriors), a prior distribution table (frmPriorDists), a Bayesian
// posterior (frmBayesian) and a likelihood profile (frmMaxLike). Each shows
// its report in a text area that follows the window's size, with one button
// that saves the text as a report file.

#include <QWidget>
#include <string>

#include "engine/state/report_views.h"

class QPlainTextEdit;
class QPushButton;

namespace estimetrix {

struct AppContext;

class ReportWindow : public QWidget {
  Q_OBJECT
 public:
  ReportWindow(AppContext& ctx, ReportKind kind);

  ReportKind Kind() const { return kind_; }
  void SetText(const std::string& text);
  const std::string& Text() const { return text_; }
  // The save button: asks for a path and saves; the header line then leads
  // the window's text too.
  void Save();

  QPlainTextEdit* textArea() const { return text_area_; }
  QPushButton* saveButton() const { return save_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& ctx_;
  ReportKind kind_;
  std::string text_;  // exactly as it will be saved
  QPlainTextEdit* text_area_ = nullptr;
  QPushButton* save_ = nullptr;
};

// The window of `kind`, created when it does not exist yet.
ReportWindow* FindOrCreateReportWindow(AppContext& ctx, ReportKind kind);

// Shows reports in their windows.
class WindowReportView : public ReportView {
 public:
  explicit WindowReportView(AppContext& ctx) : ctx_(ctx) {}
  void ShowReport(ReportKind kind, const std::string& text) override;

 private:
  AppContext& ctx_;
};

}  // namespace estimetrix
