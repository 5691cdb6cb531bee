// The load and save commands around the algorithm file: the dialogues, the
// status panel and the menu buttons they enable.

#include <optional>

#include "engine/commands/commands.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/menu_view.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char* const kAlgorithmFilter = "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg";

std::string DefaultAlgorithmName(Desktop& desktop) {
  return DateTimeName(desktop.Now()) + ".alg";
}

// A file that cannot be opened or read at all: the data stays as it was.
// The system's reason follows on a line of its own.
void ReportUnreadableFile(Desktop& desktop, MenuView* menu, const std::string& reason) {
  desktop.Inform("Problem Reading Algorithm File!",
                 "Be suspicious that your algorithm file is not properly formatted\n\n" + reason,
                 Icon::Critical);
  if (menu) menu->SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, true);
}

// Reads the file at `path` into the algorithm data; a file that cannot be
// opened changes nothing.
bool ReadFileAt(Workbench& wb, Desktop& desktop, MenuView* menu, const std::string& path) {
  std::string error;
  std::optional<std::vector<std::string>> lines = ReadTextLines(path, error);
  if (!lines) {
    ReportUnreadableFile(desktop, menu, error);
    return false;
  }
  ReadAlgorithmFileAt(wb, desktop, menu, *lines, path);
  ApplySimplexLimitFloor(wb.alg);
  return !wb.alg.LoadFailed;
}

void LoadDefaults(Workbench& wb, Desktop& desktop) {
  SetDefaultAlgorithmData(wb.alg);
  const std::string name = DefaultAlgorithmName(desktop);
  wb.alg.AlgorithmFilePath = name;
  wb.alg.AlgorithmFileName = name;
  desktop.Inform("Default Algorithm Values",
                 "                     Algorithm data set to default values.\n\n"
                 "Algorithm file given the date-time based name: " +
                     name,
                 Icon::Information);
}

void FinishLoad(Workbench& wb, Desktop& desktop) {
  wb.alg.PartlyRead = false;
  wb.state.SimplexRetained = false;
  desktop.SetStatus(StatusBar::Files, 1, "Algorithm file: " + wb.alg.AlgorithmFilePath);
  desktop.Yield();
}

bool WriteFile(Workbench& wb, const std::string& path, AlgorithmFileWriter writer,
               std::string& error) {
  AlgorithmData& alg = wb.alg;
  if (!SaveTextFileAtomically(path, AlgorithmFileText(alg, writer), error)) return false;
  // The record keeps the log name the way the file now holds it.
  alg.OutputFileName = ShortenedOutputFileName(alg.OutputFileName);
  alg.AlgorithmFilePath = path;
  alg.AlgorithmFileName = AlgorithmFileNameOf(path);
  return true;
}

// Whether a failed read took nothing from the file: every field a read
// fills is as it was.
bool Untouched(const AlgorithmData& before, const AlgorithmData& after) {
  return after.Values == before.Values && after.Steps == before.Steps &&
         after.FuseCodes == before.FuseCodes && after.SimplexLimit == before.SimplexLimit &&
         after.MaxFunctionCalls == before.MaxFunctionCalls &&
         after.TerminalOutputFrequency == before.TerminalOutputFrequency &&
         after.FileOutputFrequency == before.FileOutputFrequency &&
         after.OutputFileName == before.OutputFileName &&
         after.StepReductionFraction == before.StepReductionFraction &&
         after.AlgorithmFilePath == before.AlgorithmFilePath;
}

}  // namespace

CommandOutcome ChooseAndReadAlgorithmFile(Workbench& wb, Desktop& desktop, MenuView* menu) {
  FileDialogRequest request;
  request.title = "Open algorithm data file";
  request.filter = kAlgorithmFilter;
  request.filterIndex = 2;
  request.proposedName = wb.alg.AlgorithmFilePath;
  std::optional<std::string> path = desktop.OpenFileName(request);
  if (!path || path->empty()) {
    if (menu) menu->SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, true);
    return CommandOutcome::Cancelled;
  }
  const AlgorithmData before = wb.alg;
  if (ReadFileAt(wb, desktop, menu, *path)) return CommandOutcome::Done;
  if (Untouched(before, wb.alg)) return CommandOutcome::Refused;
  wb.alg.PartlyRead = true;
  return CommandOutcome::Failed;
}

CommandOutcome LoadAlgorithmData(Workbench& wb, Desktop& desktop, MenuView& menu) {
  menu.CloseComputationWindows();
  const Answer answer =
      desktop.Ask("Load algorithm data",
                  "Load an existing algorithm data file?\n\n     Choose NO for default values",
                  Buttons::YesNoCancel, Icon::Question);
  if (answer == Answer::Yes) {
    const CommandOutcome outcome = ChooseAndReadAlgorithmFile(wb, desktop, &menu);
    if (outcome != CommandOutcome::Done) return outcome;
  } else if (answer == Answer::No) {
    LoadDefaults(wb, desktop);
  } else {
    return CommandOutcome::Cancelled;
  }
  FinishLoad(wb, desktop);
  return CommandOutcome::Done;
}

bool LoadAlgorithmFile(Workbench& wb, Desktop& desktop, const std::string& path) {
  if (!ReadFileAt(wb, desktop, nullptr, path)) return false;
  FinishLoad(wb, desktop);
  return true;
}

bool Save_Alg(Workbench& wb, Desktop& desktop, AlgorithmFileWriter writer) {
  const std::string dataFile = wb.model ? wb.model->DataFileName() : std::string();
  FileDialogRequest request;
  request.title = "Save algorithm data in...";
  request.filter = "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg|Named for data file (" +
                   dataFile + ".*)|" + dataFile + ".*|";
  request.filterIndex = writer == AlgorithmFileWriter::MainMenu ? 3 : 2;
  request.proposedName =
      wb.alg.AlgorithmFilePath.empty() ? DefaultAlgorithmName(desktop) : wb.alg.AlgorithmFilePath;
  request.confirmOverwrite = true;
  std::optional<std::string> path = desktop.SaveFileName(request);
  if (!path || path->empty()) return false;

  std::string error;
  if (!WriteFile(wb, *path, writer, error)) {
    desktop.Inform("Algorithm data not saved",
                   "The algorithm data could not be saved:\n" + error +
                       "\n\nAny file already of that name has been left as it was.",
                   Icon::Exclamation);
    return false;
  }
  desktop.SetStatus(
      StatusBar::Files, 1,
      "Algorithm file: " + (writer == AlgorithmFileWriter::MainMenu ? wb.alg.AlgorithmFilePath
                                                                    : wb.alg.AlgorithmFileName));
  return true;
}

bool WriteAlgorithmFile(Workbench& wb, const std::string& path, std::string& error) {
  return WriteFile(wb, path, AlgorithmFileWriter::MainMenu, error);
}

}  // namespace estimetrix
