#include "ui/initialize_form.h"

#include "ui/window_tools.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <initializer_list>

#include "engine/base/format.h"
#include "engine/state/algorithm_file.h"
#include "model/initialize.h"
#include "model/make_data_dialogue.h"
#include "ui/app_context.h"

namespace estimetrix {

namespace {

constexpr const char* kDataFilter = "All files (*.*)|*.*|Data files (*.dat)|*.dat";

std::string S(const QString& text) {
  return text.toStdString();
}

const QStringList kCommonAdvice = {
    "After selecting your desired options on this initialization form, 'Load', but do not "
    "edit, a default algorithm file.",
    "  Then click on 'Single model results' and save and study a copy of that default output "
    "for critical advice on analyzing your data.",
    "Note that the first record is skipped since it is assumed to contain field labels."};

// The help texts come in pieces; a piece that ends or begins with a blank
// continues the sentence of its neighbour, and the box wraps the lines.
QString JoinPieces(const QStringList& pieces) {
  QString text;
  for (const QString& piece : pieces) {
    bool continues = !text.isEmpty() && (text.endsWith(' ') || piece.startsWith(' '));
    if (!text.isEmpty() && !continues) text += '\n';
    text += piece;
  }
  return text;
}

QString IncrementHelp() {
  QStringList lines = {
      "Increment records:",
      "The record input format for initial size, then molt increment is: '######,######'.",
      "  Maximum number of increments is 800.  For efficient",
      " performance, increment records SHOULD be sorted by initial size, then increment.",
      "When analyzing only growth incrment data, the correlation coefficient omega, and not r, "
      "should be estimated."};
  return JoinPieces(lines + kCommonAdvice);
}

QString FrequencyHelp() {
  QStringList lines = {
      "Size frequency data:",
      "The record input format for the size frequency midpoint, then frequency, is: ",
      "'#######,#####,#####,#####,#####,#####,#####,#####,...etc.'   Maximum ",
      "number of frequency cells is 250.  Frequency cell midpoints MUST represent a",
      " size range that begins at 0, e.g. 0.5, 1.5,...  or 2.5, 5.0,...  etc.",
      "When analyzing only size frequency data the correlation coefficient r, and not omega, "
      "should be estimated."};
  return JoinPieces(lines + kCommonAdvice);
}

QComboBox* NewCountBox(QWidget* parent, const char* name, int first, int last) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  // A typed count is a choice for this run, not a new list item.
  box->setInsertPolicy(QComboBox::NoInsert);
  for (int i = first; i <= last; ++i) box->addItem(QString::number(i));
  return box;
}

QLabel* NewLabel(QWidget* parent, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setWordWrap(true);
  return label;
}

QLabel* NewPathLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setFrameShape(QFrame::StyledPanel);
  label->setMinimumWidth(TwipsToPixels(6000));
  return label;
}

QPlainTextEdit* NewHelpText(QWidget* parent, const char* name, const QString& text) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setPlainText(text);
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return box;
}

}  // namespace

frmInitialize::frmInitialize(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmInitialize");
  setWindowTitle("Initialize Carapex");
  BuildControls();
  if (ctx_.mainWindow)
    ctx_.mainWindow->setWindowTitle(
        "Multi-distribution size frequency and growth increment analysis");
}

void frmInitialize::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildFiles());
  auto* frames = new QHBoxLayout;
  frames->addWidget(BuildFrequencyFrame(), 3);
  frames->addWidget(BuildIncrementFrame(), 2);
  layout->addLayout(frames);
  layout->addWidget(BuildHelpTexts(), 1);

  auto* bottom = new QHBoxLayout;
  LabelLike_ = new QLabel("Note: objective function is -2 ln[L]", this);
  LabelLike_->setObjectName("LabelLike");
  cmdOK_ = new QPushButton("OK", this);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton("Cancel", this);
  cmdCancel_->setObjectName("cmdCancel");
  bottom->addWidget(LabelLike_);
  bottom->addStretch(1);
  bottom->addWidget(cmdOK_);
  bottom->addWidget(cmdCancel_);
  layout->addLayout(bottom);

  connect(cmdOK_, &QPushButton::clicked, this, &frmInitialize::Accept);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmInitialize::CloseForm);
  resize(TwipsToPixels(13500), TwipsToPixels(10500));
}

QWidget* frmInitialize::BuildFiles() {
  auto* files = new QWidget(this);
  auto* grid = new QGridLayout(files);
  grid->setContentsMargins(0, 0, 0, 0);
  cmdFrequency_ = new QPushButton("Load &Frequencies", files);
  cmdFrequency_->setObjectName("cmdFrequency");
  cmdIncrement_ = new QPushButton("Load &Increments", files);
  cmdIncrement_->setObjectName("cmdIncrement");
  // Beside each load button: a data file made from a table of raw
  // measurements (one row per animal), then loaded as if chosen.
  cmdMakeFrequency_ = new QPushButton("Make from measurements...", files);
  cmdMakeFrequency_->setObjectName("cmdMakeFrequency");
  cmdMakeIncrement_ = new QPushButton("Make from measurements...", files);
  cmdMakeIncrement_->setObjectName("cmdMakeIncrement");
  lblFrequencyPath_ = NewPathLabel(files, "lblFrequencyPath");
  lblIncrementPath_ = NewPathLabel(files, "lblIncrementPath");
  grid->addWidget(cmdFrequency_, 0, 0);
  grid->addWidget(cmdMakeFrequency_, 0, 1);
  grid->addWidget(NewLabel(files, "Frequency data file:"), 0, 2);
  grid->addWidget(lblFrequencyPath_, 0, 3);
  grid->addWidget(cmdIncrement_, 1, 0);
  grid->addWidget(cmdMakeIncrement_, 1, 1);
  grid->addWidget(NewLabel(files, "Increment data file:"), 1, 2);
  grid->addWidget(lblIncrementPath_, 1, 3);
  grid->setColumnStretch(3, 1);
  connect(cmdFrequency_, &QPushButton::clicked, this, &frmInitialize::ChooseFrequencyFile);
  connect(cmdIncrement_, &QPushButton::clicked, this, &frmInitialize::ChooseIncrementFile);
  connect(cmdMakeFrequency_, &QPushButton::clicked, this, &frmInitialize::MakeFrequencyFile);
  connect(cmdMakeIncrement_, &QPushButton::clicked, this, &frmInitialize::MakeIncrementFile);
  return files;
}

QGroupBox* frmInitialize::BuildFrequencyFrame() {
  fraFreqInfo_ = new QGroupBox("Size frequencies", this);
  fraFreqInfo_->setObjectName("fraFreqInfo");
  cboSeries_ = NewCountBox(fraFreqInfo_, "cboSeries", 1, 8);
  cboSeries_->setEditText("1");
  cboFirst_ = NewCountBox(fraFreqInfo_, "cboFirst", 1, 10);
  cboFirst_->setEditText("1");
  cboFirst_->installEventFilter(this);
  cboIDInstars_ = NewCountBox(fraFreqInfo_, "cboIDInstars", 0, 20);
  cboIDInstars_->setEditText("0");
  cboBlendedInstars_ = new QComboBox(fraFreqInfo_);
  cboBlendedInstars_->setObjectName("cboBlendedInstars");
  cboBlendedInstars_->setEditable(true);
  cboBlendedInstars_->setInsertPolicy(QComboBox::NoInsert);
  cboBlendedInstars_->addItems({"0", "5", "10", "20", "50", "99"});
  cboBlendedInstars_->setEditText("0");

  chkForceNormal_ = new QCheckBox("Choose instars to be Gaussian distributions", fraFreqInfo_);
  chkForceNormal_->setObjectName("chkForceNormal");
  chkForceNormal_->setChecked(true);
  chkForceGamma_ = new QCheckBox("Choose instars to be gamma distributions", fraFreqInfo_);
  chkForceGamma_->setObjectName("chkForceGamma");
  OptMissing_ = new QRadioButton("The frequency distribution has been truncated at its extremes",
                                 fraFreqInfo_);
  OptMissing_->setObjectName("OptMissing");
  OptZero_ = new QRadioButton(
      "Frequency values are assumed to be zero beyond the extremes of the sampled distribution",
      fraFreqInfo_);
  OptZero_->setObjectName("OptZero");
  OptZero_->setChecked(true);
  auto* truncation = new QButtonGroup(fraFreqInfo_);
  truncation->addButton(OptMissing_);
  truncation->addButton(OptZero_);

  auto* grid = new QGridLayout(fraFreqInfo_);
  grid->addWidget(NewLabel(fraFreqInfo_, "Number of frequency series:"), 0, 0);
  grid->addWidget(cboSeries_, 0, 1);
  grid->addWidget(NewLabel(fraFreqInfo_, "First frequency cell evaluated:"), 1, 0);
  grid->addWidget(cboFirst_, 1, 1);
  grid->addWidget(NewLabel(fraFreqInfo_, "Number of smaller identifiable instars:"), 2, 0);
  grid->addWidget(cboIDInstars_, 2, 1);
  grid->addWidget(NewLabel(fraFreqInfo_,
                           "Number of blended (unidentifiable and larger) instars whose "
                           "proportions are determined by a Weibull mortality rate function):"),
                  3, 0);
  grid->addWidget(cboBlendedInstars_, 3, 1);
  grid->addWidget(chkForceNormal_, 4, 0, 1, 2);
  grid->addWidget(chkForceGamma_, 5, 0, 1, 2);
  grid->addWidget(OptMissing_, 6, 0, 1, 2);
  grid->addWidget(OptZero_, 7, 0, 1, 2);
  grid->setColumnStretch(0, 1);

  // Ticking one instar distribution clears the other; both may be clear.
  connect(chkForceNormal_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) chkForceGamma_->setChecked(false);
  });
  connect(chkForceGamma_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) chkForceNormal_->setChecked(false);
  });
  connect(cboIDInstars_, &QComboBox::editTextChanged, this, &frmInitialize::RefillIncrementInstars);
  connect(cboBlendedInstars_, &QComboBox::editTextChanged, this,
          &frmInitialize::RefillIncrementInstars);

  for (QWidget* w : std::initializer_list<QWidget*>{fraFreqInfo_, cboFirst_, cboSeries_,
                                                    cboIDInstars_, cboBlendedInstars_, OptZero_,
                                                    OptMissing_, chkForceNormal_, chkForceGamma_})
    w->setEnabled(false);
  return fraFreqInfo_;
}

QGroupBox* frmInitialize::BuildIncrementFrame() {
  fraIncInfo_ = new QGroupBox("Growth increments", this);
  fraIncInfo_->setObjectName("fraIncInfo");
  cboIncInstars_ = NewCountBox(fraIncInfo_, "cboIncInstars", 1, 16);
  for (int i = 0; i <= 20; ++i) cboIncInstars_->addItem(QString::number(i));
  cboIncInstars_->setEditText("0");
  OptNormal_ = new QRadioButton("Gaussian, or", fraIncInfo_);
  OptNormal_->setObjectName("OptNormal");
  OptGamma_ = new QRadioButton("Gamma", fraIncInfo_);
  OptGamma_->setObjectName("OptGamma");
  // Neither error distribution is chosen until an increment file is.
  auto* errors = new QButtonGroup(fraIncInfo_);
  errors->addButton(OptNormal_);
  errors->addButton(OptGamma_);

  auto* grid = new QGridLayout(fraIncInfo_);
  grid->addWidget(NewLabel(fraIncInfo_, "Potential number of instars providing increment data:"), 0,
                  0);
  grid->addWidget(cboIncInstars_, 0, 1);
  grid->addWidget(NewLabel(fraIncInfo_, "Error distribution for the instar growth increments:"), 1,
                  0, 1, 2);
  grid->addWidget(OptNormal_, 2, 0, 1, 2);
  grid->addWidget(OptGamma_, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);

  for (QWidget* w :
       std::initializer_list<QWidget*>{fraIncInfo_, OptNormal_, OptGamma_, cboIncInstars_})
    w->setEnabled(false);
  return fraIncInfo_;
}

QWidget* frmInitialize::BuildHelpTexts() {
  auto* texts = new QWidget(this);
  auto* row = new QHBoxLayout(texts);
  row->setContentsMargins(0, 0, 0, 0);
  txtFreqs_ = NewHelpText(texts, "txtFreqs", FrequencyHelp());
  txtIncs_ = NewHelpText(texts, "txtIncs", IncrementHelp());
  row->addWidget(txtFreqs_);
  row->addWidget(txtIncs_);
  return texts;
}

CarapexSetup frmInitialize::Setup() const {
  CarapexSetup setup;
  setup.frequencyPath = S(lblFrequencyPath_->text());
  setup.incrementPath = S(lblIncrementPath_->text());
  setup.seriesText = S(cboSeries_->currentText());
  setup.firstCellText = S(cboFirst_->currentText());
  setup.identifiedText = S(cboIDInstars_->currentText());
  setup.blendedText = S(cboBlendedInstars_->currentText());
  setup.incrementInstarsText = S(cboIncInstars_->currentText());
  setup.instars = chkForceNormal_->isChecked() ? InstarShape::Gaussian
                  : chkForceGamma_->isChecked() ? InstarShape::Gamma
                                                : InstarShape::Unticked;
  setup.truncation = OptMissing_->isChecked() ? FrequencyTruncation::Truncated
                     : OptZero_->isChecked()  ? FrequencyTruncation::ZeroBeyond
                                              : FrequencyTruncation::NotChosen;
  setup.incrementErrors = OptGamma_->isChecked()    ? IncrementErrors::Gamma
                          : OptNormal_->isChecked() ? IncrementErrors::Gaussian
                                                    : IncrementErrors::NotChosen;
  return setup;
}

void frmInitialize::ChooseFrequencyFile() {
  std::optional<std::string> path =
      ctx_.desktop.OpenFileName({"Load frequency data file", kDataFilter, 2, {}, false});
  if (path) UseFrequencyFile(*path);
}

void frmInitialize::MakeFrequencyFile() {
  std::optional<SavedDataFile> made = MakeFrequencyFileDialogue(ctx_.desktop);
  if (!made) return;
  UseFrequencyFile(made->path);
  // The made file's series are known: the count need not be typed.
  cboSeries_->setEditText(QString::number(made->seriesCount));
}

void frmInitialize::MakeIncrementFile() {
  std::optional<SavedDataFile> made = MakeIncrementFileDialogue(ctx_.desktop);
  if (made) UseIncrementFile(made->path);
}

void frmInitialize::UseFrequencyFile(const std::string& path) {
  lblFrequencyPath_->setText(Q(path));
  for (QWidget* w : std::initializer_list<QWidget*>{cboFirst_, cboSeries_, cboIDInstars_,
                                                    cboBlendedInstars_, fraFreqInfo_, OptZero_,
                                                    OptMissing_, chkForceNormal_, chkForceGamma_})
    w->setEnabled(true);
  cboSeries_->setEditText("0");
  cboFirst_->setEditText("1");
  cboIDInstars_->setEditText("0");
  cboBlendedInstars_->setEditText("0");
}

void frmInitialize::ChooseIncrementFile() {
  std::optional<std::string> path =
      ctx_.desktop.OpenFileName({"Load increment data file", kDataFilter, 2, {}, false});
  if (path) UseIncrementFile(*path);
}

void frmInitialize::UseIncrementFile(const std::string& path) {
  lblIncrementPath_->setText(Q(path));
  for (QWidget* w :
       std::initializer_list<QWidget*>{fraIncInfo_, OptNormal_, OptGamma_, cboIncInstars_})
    w->setEnabled(true);
  OptNormal_->setChecked(true);
  // Without a frequency file there are no instar counts to follow: the list
  // keeps the form's range of choices.
  if (!lblFrequencyPath_->text().isEmpty()) RefillIncrementInstars();
}

// Once an increment file is chosen, the increment instars follow the instar
// counts: the sum is offered, with 0 for an analysis without instar weights.
void frmInitialize::RefillIncrementInstars() {
  if (lblIncrementPath_->text().isEmpty()) return;
  std::optional<int> instars =
      EffectiveInstarCount(S(cboIDInstars_->currentText()), S(cboBlendedInstars_->currentText()));
  if (!instars) return;  // a half-typed count; OK checks it
  cboIncInstars_->clear();
  cboIncInstars_->addItem("0");
  if (*instars != 0) cboIncInstars_->addItem(QString::number(*instars));
  cboIncInstars_->setEditText(QString::number(*instars));
}

bool frmInitialize::CheckFirstCell() {
  std::string text = S(cboFirst_->currentText().trimmed());
  // An empty box is left for OK, which asks for the first cell by name.
  if (text.empty() || checkingFirstCell_) return true;
  double value = 0.0;
  std::string problem;
  if (!StrictReal(text, value)) {
    problem = "First frequency cell must be an integer";
  } else if (value < 1) {
    problem = "First frequency cell must be positive";
  } else {
    return true;
  }
  checkingFirstCell_ = true;
  ctx_.desktop.Inform("Initialize", problem, Icon::Exclamation);
  cboFirst_->setEditText("1");
  cboFirst_->setFocus();
  checkingFirstCell_ = false;
  return false;
}

bool frmInitialize::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cboFirst_ && event->type() == QEvent::FocusOut) {
    // The box's own list and a message box taking the focus are not the
    // user leaving the box.
    Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      QTimer::singleShot(0, this, [this] { CheckFirstCell(); });
  }
  return QWidget::eventFilter(watched, event);
}

void frmInitialize::Accept() {
  // Pressing OK straight from a bad first cell must not race its check.
  if (cboFirst_->isEnabled() && !CheckFirstCell()) return;
  for (QComboBox* box : {cboSeries_, cboIDInstars_, cboBlendedInstars_, cboIncInstars_})
    if (box->currentText().trimmed().isEmpty()) box->setEditText("0");
  if (!InitializeCarapex(ctx_.wb, ctx_.desktop, Setup())) return;
  initialised_ = true;
  CloseForm();
}

void frmInitialize::CloseForm() {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    frame->close();
  } else {
    close();
  }
}

void frmInitialize::closeEvent(QCloseEvent* event) {
  // However the form closes, the menu comes back; after a successful
  // initialisation it offers Load.
  ctx_.menu.ShowMenu();
  if (initialised_) {
    ctx_.menu.SetButtonEnabled(MenuButton::Initialize, true);
    ctx_.menu.SetButtonEnabled(MenuButton::LoadAlg, true);
    ctx_.menu.FocusButton(MenuButton::LoadAlg);
  }
  event->accept();
}

void OpenInitializeForm(AppContext& ctx) {
  auto* form = new frmInitialize(ctx);
  QWidget* window = form;
  if (ctx.mdi) window = ctx.mdi->addSubWindow(form);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->move(TwipsToPixels(1500), TwipsToPixels(1000));
  window->show();
}

}  // namespace estimetrix
