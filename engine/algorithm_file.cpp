#include "engine/algorithm_file.h"

#include <cmath>

#include "engine/format.h"
#include "engine/menu_view.h"
#include "engine/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr int kFieldWidth = 14;
constexpr long long kInt16Min = -32768, kInt16Max = 32767;
constexpr long long kInt32Min = -2147483647LL - 1, kInt32Max = 2147483647LL;

const char* const kRealPattern = "0.0000000E+00";

// ---- Writing -------------------------------------------------------------

// The real as the file writes it: seven mantissa decimals, or as many fewer
// as it takes to fit the 14 columns its reader takes. Only a negative number
// with a three-digit exponent needs fewer.
std::string RealField(double value) {
  for (int decimals = 7; decimals >= 0; --decimals) {
    std::string pattern = decimals > 0 ? "0." + std::string(decimals, '0') + "E+00" : "0E+00";
    std::string text = FormatNumber(value, pattern);
    if (static_cast<int>(text.size()) <= kFieldWidth) return text;
  }
  return FormatNumber(value, "0E+00");
}

std::string IntegerLine(long long value, const char* pattern, const char* label) {
  return RightJustify(FormatNumber(static_cast<double>(value), pattern), kFieldWidth) + label;
}

std::string RealLine(double value, const char* label) {
  return RightJustify(RealField(value), kFieldWidth) + label;
}

// Entries the record does not hold yet (no data loaded or made) are written
// as the defaults, so the file always has its N parameter lines. An empty
// code could not be read back and fuses nothing: it is written unfused.
std::string ParameterLine(const AlgorithmData& alg, int i, AlgorithmFileWriter writer) {
  std::string code = i <= alg.FuseCodes.Size() ? alg.FuseCodes[i] : "";
  if (code.empty()) code = kUnfused;
  const double value = i <= alg.Values.Size() ? alg.Values[i] : 0.0;
  const double step = i <= alg.Steps.Size() ? alg.Steps[i] : 0.0;
  const std::string description = i <= alg.Descriptions.Size() ? alg.Descriptions[i] : "";
  const char* label = writer == AlgorithmFileWriter::Ranking ? "  Value, step then link for: "
                                                             : "  Value, step then link for ";
  return RightJustify(RealField(value), kFieldWidth) + RightJustify(RealField(step), 16) +
         RightJustify(code, 4) + label + description;
}

// ---- Reading -------------------------------------------------------------

enum class ReadFailure { None, TooFew, BadlyFormatted };

// Columns first..first+count-1 of a line (1-based), as far as the line goes.
std::string_view Columns(const std::string& line, size_t first, size_t count) {
  if (line.size() < first) return {};
  return std::string_view(line).substr(first - 1, count);
}

// The fuse code in columns 33-34: trimmed and upper-cased; a code that does
// not start and end with a letter A-Z fuses nothing. Blank is unreadable.
bool ReadFuseCode(const std::string& line, std::string& code) {
  std::string_view field = Columns(line, 33, 2);
  const size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  const size_t last = field.find_last_not_of(" \t");
  code = std::string(field.substr(first, last - first + 1));
  for (char& c : code)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  auto letter = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (!letter(code.front()) || !letter(code.back())) code = kUnfused;
  return true;
}

// Reads the file line by line, filling `alg` as it goes so that a failure
// keeps what was read before it.
class AlgorithmReader {
 public:
  AlgorithmReader(AlgorithmData& alg, const std::vector<std::string>& lines)
      : alg_(alg), lines_(lines) {}

  ReadFailure ReadCount(long long& n) {
    const std::string* line = Next();
    if (!line) return ReadFailure::TooFew;
    return StrictInteger(Columns(*line, 1, kFieldWidth), kInt16Min, kInt16Max, n)
               ? ReadFailure::None
               : ReadFailure::BadlyFormatted;
  }

  ReadFailure ReadParametersAndSettings() {
    const int n = alg_.ParameterCount;
    alg_.Values.Resize(1, n, 0.0);
    alg_.Steps.Resize(1, n, 0.0);
    alg_.FuseCodes.Resize(1, n, kUnfused);
    for (int i = 1; i <= n; ++i) {
      ReadFailure failure = ReadParameter(i);
      if (failure != ReadFailure::None) return failure;
    }
    return ReadSettings();
  }

  // Lines after the last setting line that hold anything, blanks included.
  int CountTrailingLines() const {
    int count = 0;
    for (size_t at = next_; at < lines_.size(); ++at)
      if (!lines_[at].empty()) ++count;
    return count;
  }

 private:
  const std::string* Next() { return next_ < lines_.size() ? &lines_[next_++] : nullptr; }

  ReadFailure ReadParameter(int i) {
    const std::string* line = Next();
    if (!line) return ReadFailure::TooFew;
    if (!StrictReal(Columns(*line, 1, kFieldWidth), alg_.Values[i]) ||
        !StrictReal(Columns(*line, 17, kFieldWidth), alg_.Steps[i]) ||
        !ReadFuseCode(*line, alg_.FuseCodes[i])) {
      return ReadFailure::BadlyFormatted;
    }
    return ReadFailure::None;
  }

  ReadFailure ReadReal(double& out) {
    const std::string* line = Next();
    if (!line) return ReadFailure::TooFew;
    return StrictReal(Columns(*line, 1, kFieldWidth), out) ? ReadFailure::None
                                                           : ReadFailure::BadlyFormatted;
  }

  ReadFailure ReadInteger(long long lo, long long hi, int& out) {
    const std::string* line = Next();
    if (!line) return ReadFailure::TooFew;
    long long value = 0;
    if (!StrictInteger(Columns(*line, 1, kFieldWidth), lo, hi, value))
      return ReadFailure::BadlyFormatted;
    out = static_cast<int>(value);
    return ReadFailure::None;
  }

  ReadFailure ReadSettings() {
    ReadFailure failure = ReadReal(alg_.SimplexLimit);
    if (failure == ReadFailure::None)
      failure = ReadInteger(kInt32Min, kInt32Max, alg_.MaxFunctionCalls);
    if (failure == ReadFailure::None)
      failure = ReadInteger(kInt16Min, kInt16Max, alg_.TerminalOutputFrequency);
    if (failure == ReadFailure::None)
      failure = ReadInteger(kInt16Min, kInt16Max, alg_.FileOutputFrequency);
    if (failure == ReadFailure::None) {
      const std::string* line = Next();
      if (!line) return ReadFailure::TooFew;
      // Taken exactly, the right-justifying blanks included.
      alg_.OutputFileName = std::string(Columns(*line, 1, kFieldWidth));
    }
    if (failure == ReadFailure::None) failure = ReadReal(alg_.StepReductionFraction);
    return failure;
  }

  AlgorithmData& alg_;
  const std::vector<std::string>& lines_;
  size_t next_ = 0;
};

void ReportReadFailure(Desktop& desktop, MenuView* menu, const std::string& text) {
  if (menu) menu->HideMenu();
  desktop.Inform("Algorithm file - information input failed", text, Icon::Information);
  if (menu) {
    menu->ShowMenu();
    menu->SetEnabled({MenuButton::LoadAlg, MenuButton::Initialize}, true);
  }
}

std::string FailureText(ReadFailure failure) {
  return failure == ReadFailure::TooFew
             ? "Algorithm file seems to have too few lines of information - better check it!"
             : "Algorithm file seems to have inappropriate, badly formatted, or missing, "
               "information - better check it!";
}

struct FileIdentity {
  std::string path, name;
};

void ReadLines(Workbench& wb, Desktop& desktop, MenuView* menu,
               const std::vector<std::string>& lines, const FileIdentity* previous) {
  AlgorithmData& alg = wb.alg;
  // A failure before the parameter lines has taken nothing from the file.
  auto fail = [&](const std::string& text, bool nothingTaken) {
    alg.LoadFailed = true;
    if (nothingTaken && previous) {
      alg.AlgorithmFilePath = previous->path;
      alg.AlgorithmFileName = previous->name;
    }
    ReportReadFailure(desktop, menu, text);
  };
  alg.LoadFailed = false;
  AlgorithmReader reader(alg, lines);
  long long n = 0;
  ReadFailure failure = reader.ReadCount(n);
  if (failure != ReadFailure::None) return fail(FailureText(failure), true);
  if (n != alg.ParameterCount) {
    return fail("Algorithm file  " + alg.AlgorithmFilePath + "  has " + IntText(n) +
                    " parameters, but your model specifies " + IntText(alg.ParameterCount),
                true);
  }
  failure = reader.ReadParametersAndSettings();
  if (failure != ReadFailure::None) return fail(FailureText(failure), false);
  if (reader.CountTrailingLines() > 0) {
    return fail("Algorithm file seems to have too many lines of information - better check it!",
                false);
  }
  // No log is open right after a load: file output stays off until the user
  // opens one in the editor.
  alg.FileOutputFrequency = 0;
}

}  // namespace

std::string ShortenedOutputFileName(const std::string& name) {
  if (name.size() < 15) return name;
  const std::string tail = name.substr(name.size() - kFieldWidth);
  const size_t separator = tail.find_last_of("/\\");
  return separator == std::string::npos ? tail : tail.substr(separator + 1);
}

std::string AlgorithmFileNameOf(const std::string& path) {
  const std::string bare = BareFileName(path);
  return bare.substr(0, bare.size() >= 4 ? bare.size() - 4 : 0);
}

std::string AlgorithmFileText(const AlgorithmData& alg, AlgorithmFileWriter writer) {
  const int n = alg.ParameterCount;
  std::string text = IntegerLine(n, "###0", "  Number of parameters") + "\r\n";
  for (int i = 1; i <= n; ++i) text += ParameterLine(alg, i, writer) + "\r\n";
  text += RealLine(alg.SimplexLimit, "  Simplex limit (+ for ABS, - for REL)") + "\r\n";
  text += IntegerLine(alg.MaxFunctionCalls, "####0",
                      "  Maximum # of function calls (simplex) or iterations (Marquardt)") +
          "\r\n";
  text += IntegerLine(alg.TerminalOutputFrequency, "####0", "  Terminal output frequency") + "\r\n";
  text += IntegerLine(alg.FileOutputFrequency, "####0", "  File output frequency") + "\r\n";
  text += RightJustify(ShortenedOutputFileName(alg.OutputFileName), kFieldWidth) +
          "  Name of output file\r\n";
  text += RealLine(alg.StepReductionFraction, "  Step size reduction fraction") + "\r\n";
  return text;
}

void ReadAlgorithmFile(Workbench& wb, Desktop& desktop, MenuView* menu,
                       const std::vector<std::string>& lines) {
  ReadLines(wb, desktop, menu, lines, nullptr);
}

void ReadAlgorithmFileAt(Workbench& wb, Desktop& desktop, MenuView* menu,
                         const std::vector<std::string>& lines, const std::string& path) {
  const FileIdentity previous{wb.alg.AlgorithmFilePath, wb.alg.AlgorithmFileName};
  wb.alg.AlgorithmFilePath = path;
  wb.alg.AlgorithmFileName = AlgorithmFileNameOf(path);
  ReadLines(wb, desktop, menu, lines, &previous);
}

void ApplySimplexLimitFloor(AlgorithmData& alg) {
  const double limit = alg.SimplexLimit;
  if (limit != 0.0 && std::fabs(limit) < 1E-06) alg.SimplexLimit = limit < 0 ? -1E-06 : 1E-06;
}

}  // namespace estimetrix
