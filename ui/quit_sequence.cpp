#include "ui/quit_sequence.h"

#include "engine/bayesian/priors_file.h"
#include "engine/commands/commands.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

// Passes everything to the real desktop and remembers whether a save dialog
// returned a name, so a failed save can be told from a cancelled one.
class SaveWatchingDesktop : public Desktop {
 public:
  explicit SaveWatchingDesktop(Desktop& inner) : inner_(inner) {}
  bool NameChosen() const { return nameChosen_; }

  Answer Message(const MessageRequest& request) override { return inner_.Message(request); }
  std::optional<std::string> Input(const InputRequest& request) override {
    return inner_.Input(request);
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override {
    return inner_.OpenFileName(request);
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override {
    auto name = inner_.SaveFileName(request);
    nameChosen_ = nameChosen_ || name.has_value();
    return name;
  }
  void SetStatus(StatusBar bar, int panel, const std::string& text) override {
    inner_.SetStatus(bar, panel, text);
  }
  std::string Status(StatusBar bar, int panel) const override { return inner_.Status(bar, panel); }
  void Yield() override { inner_.Yield(); }
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  DateTime Now() override { return inner_.Now(); }

 private:
  Desktop& inner_;
  bool nameChosen_ = false;
};

bool AskYesNo(Desktop& desktop, const std::string& title, const std::string& text,
              int defaultButton = 1) {
  return desktop.Ask(title, text, Buttons::YesNo, Icon::Question, defaultButton) == Answer::Yes;
}

// Offers to save the algorithm data. False when the user chose a file but it
// could not be written and then decided not to quit after all.
bool OfferAlgorithmSave(Workbench& wb, Desktop& desktop) {
  // Before a load or default values there is nothing worth saving (and no
  // model to name the data file in the dialogue's filter); data that a failed
  // read left half filled would overwrite the very file the user must mend.
  if (!AlgorithmDataUsable(wb) || !wb.model) return true;
  if (!AskYesNo(desktop, "What about algorithm data?", "Save algorithm data?")) return true;
  SaveWatchingDesktop watcher(desktop);
  if (Save_Alg(wb, watcher, AlgorithmFileWriter::MainMenu) || !watcher.NameChosen()) return true;
  // The save failed (its reason has been shown): quitting now would lose the data.
  return AskYesNo(desktop, "Exit Estimetrix",
                  "The algorithm data were not saved.\n\nQuit Estimetrix anyway?", 2);
}

// Offers to save the priors. False when the user chose a file but it could
// not be written and then decided not to quit after all.
bool OfferPriorsSave(Workbench& wb, Desktop& desktop) {
  if (!AskYesNo(desktop, "What about Bayesian priors?", "Save Bayesian priors?")) return true;
  SaveWatchingDesktop watcher(desktop);
  if (Save_Priors(wb, watcher) || !watcher.NameChosen()) return true;
  return AskYesNo(desktop, "Exit Estimetrix",
                  "The Bayesian priors were not saved.\n\nQuit Estimetrix anyway?", 2);
}

}  // namespace

bool RunQuitSequence(Workbench& wb, Desktop& desktop) {
  if (!AskYesNo(desktop, "Exit Estimetrix", "Do you want to quit Estimetrix?", 2)) return false;
  if (!OfferAlgorithmSave(wb, desktop)) return false;
  if (wb.priors.AllUniform())
    desktop.SetStatus(StatusBar::Files, 2, "Bayesian priors file: ");
  else if (!OfferPriorsSave(wb, desktop))
    return false;
  wb.log.Close();
  return true;
}

}  // namespace estimetrix
