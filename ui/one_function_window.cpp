#include "ui/one_function_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "engine/state/algorithm_data.h"
#include "ui/app_context.h"

namespace estimetrix {

// The window lives for the whole session: closing it only hides its frame, so
// a report that arrives after the user closed it never writes to a dead window.
OneFunctionWindow* OneFunctionWindowFor(AppContext& ctx) {
  if (ctx.mdi) {
    for (QMdiSubWindow* child : ctx.mdi->subWindowList())
      if (auto* window = qobject_cast<OneFunctionWindow*>(child->widget())) return window;
  }
  auto* window = new OneFunctionWindow(ctx);
  if (ctx.mdi) {
    auto* frame = new QMdiSubWindow;
    frame->setWidget(window);
    ctx.mdi->addSubWindow(frame);
    frame->resize(frame->sizeHint().boundedTo(ctx.mdi->viewport()->size()));
  } else {
    window->setParent(ctx.mainWindow, Qt::Window);
  }
  return window;
}

OneFunctionWindow::OneFunctionWindow(AppContext& ctx) : ctx_(ctx) {
  setObjectName("frmOneFunction");
  setWindowTitle("One function call");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("txtOneFunction");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text_);
}

QSize OneFunctionWindow::sizeHint() const {
  QFontMetrics metrics(text_->font());
  return {metrics.horizontalAdvance(QString(100, 'M')), metrics.lineSpacing() * 28};
}

void OneFunctionWindow::Show() {
  show();
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    frame->show();
    frame->raise();
    if (ctx_.mdi) ctx_.mdi->setActiveSubWindow(frame);
  } else {
    raise();
  }
}

void OneFunctionWindow::SetText(const std::string& text) {
  text_->setPlainText(QString::fromStdString(text));
}

QString OneFunctionWindow::Text() const {
  return text_->toPlainText();
}

void OneFunctionWindow::closeEvent(QCloseEvent* event) {
  text_->clear();
  event->accept();
  ctx_.menu.ShowMenu();
}

}  // namespace estimetrix
