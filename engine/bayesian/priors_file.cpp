#include "engine/bayesian/priors_file.h"

#include <cmath>
#include <optional>
#include <vector>

#include "engine/base/format.h"
#include "engine/objective/priors.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char* const kBayesInformationTitle = "Bayes information";
const char* const kUnchanged = "The priors in force have not been changed.";

// Record columns (0-based offsets): the type letter in column 7, four
// eleven-column terms from column 8.
constexpr size_t kTypeColumn = 6;
constexpr size_t kTermColumn = 7;
constexpr size_t kTermWidth = 11;

std::string Field(const std::string& line, int term) {
  const size_t start = kTermColumn + static_cast<size_t>(term - 1) * kTermWidth;
  if (start >= line.size()) return "";
  return line.substr(start, kTermWidth);
}

// A number in eleven columns: the sign position (blank or "-"), then
// "0.000E+000".
std::string NumberField(double value) {
  return (value < 0.0 ? "-" : " ") + FormatNumber(std::fabs(value), "0.000E+000");
}

// Term3 and Term4 hold a number's text for the uniform-bounded family and
// "Unused" otherwise: the number in its field, any other text right-aligned.
std::string TextTermField(const std::string& text) {
  double value = 0.0;
  if (StrictReal(text, value)) return NumberField(value);
  return RightJustify(text, static_cast<double>(kTermWidth));
}

// A line as a message quotes it: at most 40 characters, without controls.
std::string Quoted(const std::string& line) {
  std::string shown;
  for (char c : line.substr(0, 40))
    shown += (static_cast<unsigned char>(c) < 32 || c == 127) ? '?' : c;
  if (line.size() > 40) shown += "...";
  return "\"" + shown + "\"";
}

void RefuseFile(Desktop& desktop, const std::string& path, const std::string& why) {
  desktop.Inform(kBayesInformationTitle, "Bayesian priors file  " + path + "  " + why + "\n\n" + kUnchanged,
                 Icon::Critical);
}

// The count on line 1: its first blank- or comma-separated word, a whole
// number that fits sixteen bits.
std::optional<int> CountOf(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const size_t end = line.find_first_of(" \t,", first);
  long long count = 0;
  if (!StrictInteger(line.substr(first, end == std::string::npos ? end : end - first), -32768,
                     32767, count))
    return std::nullopt;
  return static_cast<int>(count);
}

void ShowFileName(Desktop& desktop, const std::string& path) {
  desktop.SetStatus(StatusBar::Files, 2, "Bayesian priors file: " + PriorsFileName(path));
}

}  // namespace

std::string PriorsFileText(const PriorTable& priors) {
  const int n = priors.Count();
  std::string text = FormatNumber(n, "#0") + "\n";
  for (int i = 1; i <= n; ++i) {
    // The number column is never read back; numbers of 1000 and more keep
    // their first three digits so the columns after it stay in place.
    text += RightJustify(IntText(i), 3) + "   " + static_cast<char>(priors.Type[i]) +
            NumberField(priors.Term1[i]) + NumberField(priors.Term2[i]) +
            TextTermField(priors.Term3[i]) + TextTermField(priors.Term4[i]) + "   " +
            DistributionName(priors.Type[i]) + "\n";
  }
  return text;
}

std::string PriorsFileName(const std::string& path) {
  const std::string bare = BareFileName(path);
  // A name without an extension (the chooser's default name) is kept whole.
  if (bare.size() > 4 && bare[bare.size() - 4] == '.') return bare.substr(0, bare.size() - 4);
  return bare;
}

bool ReadPriorsFile(Workbench& wb, Desktop& desktop, const std::string& path) {
  std::string error;
  std::optional<std::vector<std::string>> read = ReadTextLines(path, error);
  if (!read) {
    RefuseFile(desktop, path, "could not be read:\n" + error);
    return false;
  }
  DropByteOrderMark(*read);
  const std::vector<std::string>& lines = *read;
  if (ContainsNulBytes(lines)) {
    RefuseFile(desktop, path, "is not a text file.");
    return false;
  }
  const std::optional<int> count = lines.empty() ? std::nullopt : CountOf(lines[0]);
  if (!count) {
    RefuseFile(desktop, path,
           "does not start with a parameter count: line 1 reads " +
               (lines.empty() ? std::string("nothing") : Quoted(lines[0])) + ".");
    return false;
  }
  const int n = wb.alg.ParameterCount;
  if (*count != n) {
    desktop.Inform(kBayesInformationTitle,
                   "Bayesian priors file  " + path + "  has " + IntText(*count) +
                       " parameters, but your model specifies " + IntText(n) + ".\n" +
                       "Therefore default (uniform-unbounded) priors have been loaded instead.",
                   Icon::Critical);
    wb.alg.LoadFailed = true;
    wb.state.PriorsActive = false;
    return false;
  }

  PriorTable fresh;
  fresh.Resize(n);
  for (int i = 1; i <= n; ++i) {
    const int lineNumber = i + 1;
    if (static_cast<size_t>(i) >= lines.size()) {
      RefuseFile(desktop, path,
             "holds " + IntText(static_cast<long long>(lines.size()) - 1) + " of its " + IntText(n) +
                 " records: the record of parameter " + IntText(i) + " (line " +
                 IntText(lineNumber) + ") is missing.");
      return false;
    }
    const std::string& line = lines[static_cast<size_t>(i)];
    const std::optional<PriorType> type =
        line.size() > kTypeColumn ? PriorTypeFromLetter(line[kTypeColumn]) : std::nullopt;
    if (!type) {
      RefuseFile(desktop, path,
             "cannot be read at line " + IntText(lineNumber) + " (parameter " + IntText(i) +
                 "): column 7 holds no prior type (U, T, N, E, G, B, S, D or L). The line reads " +
                 Quoted(line) + ".");
      return false;
    }
    fresh.Type[i] = *type;
    fresh.Term1[i] = LenientNumber(Field(line, 1));
    fresh.Term2[i] = LenientNumber(Field(line, 2));
    fresh.Term3[i] = Trimmed(Field(line, 3));
    fresh.Term4[i] = Trimmed(Field(line, 4));
  }

  fresh.PriorsFilePath = path;
  wb.priors = std::move(fresh);
  wb.state.PriorsActive = !wb.priors.AllUniform();
  desktop.Inform(kBayesInformationTitle, "Bayesian Priors file " + path + " has been loaded");
  std::string problems;
  for (int i = 1; i <= n; ++i) {
    const std::string problem = PriorProblem(wb.priors, i);
    if (!problem.empty()) problems += problem + "\n";
  }
  if (!problems.empty())
    desktop.Inform(kBayesInformationTitle,
                   problems + "\nCorrect these priors in the editor before a computation uses them.",
                   Icon::Exclamation);
  ShowFileName(desktop, path);
  return true;
}

bool Save_Priors(Workbench& wb, Desktop& desktop) {
  FileDialogRequest request;
  request.title = "Save Bayesian priors file in...";
  request.filter = "All files (*.*)|*.*|Bayesian prior files (*.pri)|*.pri";
  request.filterIndex = 2;
  request.proposedName = wb.priors.PriorsFilePath.empty() ? DateTimeName(desktop.Now()) + ".pri"
                                                          : wb.priors.PriorsFilePath;
  request.confirmOverwrite = true;
  const std::optional<std::string> path = desktop.SaveFileName(request);
  if (!path || path->empty()) return false;

  std::string error;
  if (!SaveTextFileAtomically(*path, ToCrLf(PriorsFileText(wb.priors)), error)) {
    desktop.Inform("Bayesian priors not saved",
                   "The Bayesian priors could not be saved:\n" + error +
                       "\n\nAny file already of that name has been left as it was.",
                   Icon::Exclamation);
    return false;
  }
  wb.priors.PriorsFilePath = *path;
  ShowFileName(desktop, *path);
  return true;
}

}  // namespace estimetrix
