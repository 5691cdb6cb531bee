#include "ui/qt_desktop.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTime>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace estimetrix {

namespace {

// Repainting more often than this slows a fast model down for no visible gain.
constexpr qint64 kYieldIntervalMs = 20;

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

QMessageBox::Icon QtIcon(Icon icon) {
  switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

struct ButtonChoice {
  QMessageBox::StandardButton button;
  Answer answer;
};

std::vector<ButtonChoice> ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return {{QMessageBox::Ok, Answer::Ok}};
    case Buttons::OkCancel:
      return {{QMessageBox::Ok, Answer::Ok}, {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::YesNo: return {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}};
    case Buttons::YesNoCancel:
      return {{QMessageBox::Yes, Answer::Yes},
              {QMessageBox::No, Answer::No},
              {QMessageBox::Cancel, Answer::Cancel}};
  }
  return {{QMessageBox::Ok, Answer::Ok}};
}

// "Algorithm files (*.alg)" with pattern "*.alg" -> "Algorithm files (*.alg)";
// the patterns in brackets are what Qt filters by, so they are rebuilt from the
// pattern field. "*.*" means every file, with or without an extension.
QString NameFilter(const QString& description, const QString& pattern) {
  QString label = description.trimmed();
  if (label.endsWith(')')) {
    int open = label.lastIndexOf('(');
    if (open > 0) label = label.left(open).trimmed();
  }
  QStringList patterns;
  for (const QString& one : pattern.split(';', Qt::SkipEmptyParts)) {
    QString trimmed = one.trimmed();
    patterns << (trimmed == "*.*" ? QStringLiteral("*") : trimmed);
  }
  if (patterns.isEmpty()) patterns << "*";
  return label + " (" + patterns.join(' ') + ")";
}

// The extension a typed name gets when it has none: "alg" for "*.alg".
QString SuffixOf(const QString& nameFilter) {
  int open = nameFilter.lastIndexOf('(');
  QString patterns = nameFilter.mid(open + 1).chopped(1);
  QString first = patterns.section(' ', 0, 0);
  QString suffix = first.mid(2);
  if (first.startsWith("*.") && !suffix.contains('*') && !suffix.contains('?')) return suffix;
  return {};
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  QStringList parts = ToQt(filter).split('|');
  if (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) filters << NameFilter(parts[i], parts[i + 1]);
  if (parts.size() % 2 == 1) filters << NameFilter(parts.last(), "*");
  return filters;
}

void QtDesktop::Attach(QWidget* window, StatusPanelView* panels) {
  window_ = window;
  panels_ = panels;
  if (!panels_) return;
  for (const auto& [key, text] : texts_)
    panels_->ShowStatus(static_cast<StatusBar>(key.first), key.second, ToQt(text));
}

Answer QtDesktop::Message(const MessageRequest& request) {
  QMessageBox box(window_);
  box.setWindowTitle(ToQt(request.title));
  box.setText(ToQt(request.text));
  box.setTextFormat(Qt::PlainText);
  box.setIcon(QtIcon(request.icon));
  std::vector<ButtonChoice> choices = ButtonsOf(request.buttons);
  QMessageBox::StandardButtons standard;
  for (const ButtonChoice& choice : choices) standard |= choice.button;
  box.setStandardButtons(standard);
  int defaultIndex = std::clamp(request.defaultButton, 1, static_cast<int>(choices.size()));
  box.setDefaultButton(choices[static_cast<size_t>(defaultIndex - 1)].button);
  // Escape and the title bar's close answer as the last button does: Cancel,
  // No or OK.
  box.setEscapeButton(box.button(choices.back().button));
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const ButtonChoice& choice : choices)
    if (clicked == box.button(choice.button)) return choice.answer;
  return choices.back().answer;
}

std::optional<std::string> QtDesktop::Input(const InputRequest& request) {
  QDialog dialog(window_);
  dialog.setWindowTitle(ToQt(request.title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* prompt = new QLabel(ToQt(request.prompt), &dialog);
  prompt->setTextFormat(Qt::PlainText);
  prompt->setWordWrap(true);
  auto* edit = new QLineEdit(ToQt(request.defaultText), &dialog);
  edit->setMinimumWidth(320);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(prompt);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  // The default is selected so that typing replaces it.
  edit->selectAll();
  edit->setFocus();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text().toStdString();
}

std::optional<std::string> QtDesktop::FileName(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(window_, ToQt(request.title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters = QtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size()));
    dialog.selectNameFilter(filters[index - 1]);
    if (save) {
      dialog.setDefaultSuffix(SuffixOf(filters[index - 1]));
      QObject::connect(
          &dialog, &QFileDialog::filterSelected, &dialog,
          [&dialog](const QString& chosen) { dialog.setDefaultSuffix(SuffixOf(chosen)); });
    }
  }
  if (!request.proposedName.empty()) {
    QFileInfo proposed(ToQt(request.proposedName));
    if (proposed.path() != ".") dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDesktop::OpenFileName(const FileDialogRequest& request) {
  return FileName(request, false);
}

std::optional<std::string> QtDesktop::SaveFileName(const FileDialogRequest& request) {
  return FileName(request, true);
}

void QtDesktop::SetStatus(StatusBar bar, int panel, const std::string& text) {
  texts_[{static_cast<int>(bar), panel}] = text;
  if (panels_) panels_->ShowStatus(bar, panel, ToQt(text));
}

std::string QtDesktop::Status(StatusBar bar, int panel) const {
  auto it = texts_.find({static_cast<int>(bar), panel});
  return it == texts_.end() ? std::string() : it->second;
}

void QtDesktop::Yield() {
  if (sinceLastYield_.isValid() && sinceLastYield_.elapsed() < kYieldIntervalMs) return;
  QCoreApplication::processEvents();
  sinceLastYield_.start();
}

double QtDesktop::SecondsSinceMidnight() {
  return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

DateTime QtDesktop::Now() {
  QDateTime now = QDateTime::currentDateTime();
  return {now.date().year(), now.date().month(),  now.date().day(),
          now.time().hour(), now.time().minute(), now.time().second()};
}

}  // namespace estimetrix
