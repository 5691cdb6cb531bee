#pragma once
// "Initialize Carapex" (frmInitialize): the set-up form on which the user
// chooses the data files and describes the model's structure. OK runs the
// initialisation; the form then closes and the menu offers Load.

#include <QWidget>

#include "model/carapex_setup.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace estimetrix {

struct AppContext;

class frmInitialize : public QWidget {
  Q_OBJECT
 public:
  explicit frmInitialize(AppContext& ctx, QWidget* parent = nullptr);

  // The choices as the boxes hold them now.
  CarapexSetup Setup() const;

  // The checks made when cboFirst loses the focus: false (after the message,
  // with the box reset to "1" and the focus back in it) when the text is not
  // a positive number.
  bool CheckFirstCell();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildFiles();
  QGroupBox* BuildFrequencyFrame();
  QGroupBox* BuildIncrementFrame();
  QWidget* BuildHelpTexts();

  void ChooseFrequencyFile();
  void ChooseIncrementFile();
  void UseFrequencyFile(const std::string& path);
  void UseIncrementFile(const std::string& path);
  void MakeFrequencyFile();
  void MakeIncrementFile();
  void RefillIncrementInstars();
  void Accept();
  void CloseForm();

  AppContext& ctx_;
  bool initialised_ = false;
  bool checkingFirstCell_ = false;

  QPushButton* cmdFrequency_ = nullptr;
  QPushButton* cmdIncrement_ = nullptr;
  QPushButton* cmdMakeFrequency_ = nullptr;
  QPushButton* cmdMakeIncrement_ = nullptr;
  QLabel* lblFrequencyPath_ = nullptr;
  QLabel* lblIncrementPath_ = nullptr;
  QGroupBox* fraFreqInfo_ = nullptr;
  QGroupBox* fraIncInfo_ = nullptr;
  QComboBox* cboSeries_ = nullptr;
  QComboBox* cboFirst_ = nullptr;
  QComboBox* cboIDInstars_ = nullptr;
  QComboBox* cboBlendedInstars_ = nullptr;
  QComboBox* cboIncInstars_ = nullptr;
  QCheckBox* chkForceNormal_ = nullptr;
  QCheckBox* chkForceGamma_ = nullptr;
  QRadioButton* OptMissing_ = nullptr;
  QRadioButton* OptZero_ = nullptr;
  QRadioButton* OptNormal_ = nullptr;
  QRadioButton* OptGamma_ = nullptr;
  QPlainTextEdit* txtFreqs_ = nullptr;
  QPlainTextEdit* txtIncs_ = nullptr;
  QLabel* LabelLike_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

// Opens the set-up form without blocking, 1500 and 1000 twips in.
void OpenInitializeForm(AppContext& ctx);

}  // namespace estimetrix
