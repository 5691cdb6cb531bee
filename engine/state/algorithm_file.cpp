#include "engine/state/algorithm_file.h"

#include <cmath>
#include <string_view>

#include "engine/base/format.h"
#include "engine/state/menu_view.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr int kFieldWidth = 14;
constexpr long long kInt16Min = -32768, kInt16Max = 32767;
constexpr long long kInt32Min = -2147483647LL - 1, kInt32Max = 2147483647LL;

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

std::string_view TrimBlanks(std::string_view field) {
  const size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(" \t") - first + 1);
}

// Printable ASCII or well-formed UTF-8 without control characters: a field
// that can be quoted back to the user as it stands.
bool IsShowableText(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7f) return false;
      ++at;
      continue;
    }
    const size_t length = byte >= 0xf0 && byte < 0xf5   ? 4
                          : byte >= 0xe0                ? 3
                          : byte >= 0xc2 && byte < 0xe0 ? 2
                                                        : 0;
    if (length == 0 || byte >= 0xf5 || at + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[at + k]) & 0xc0) != 0x80) return false;
    at += length;
  }
  return true;
}

// Why a field's text is not what its column holds, for the user to mend.
std::string FieldProblem(std::string_view field, const std::string& wanted) {
  const std::string_view text = TrimBlanks(field);
  if (text.empty()) return "the field is blank";
  if (!IsShowableText(text)) return "the field holds characters that are not text";
  return "\"" + std::string(text) + "\" is not " + wanted;
}

struct FieldSpan {
  size_t first, count;
};
constexpr FieldSpan kLeftField{1, kFieldWidth};
constexpr FieldSpan kStepField{17, kFieldWidth};
constexpr FieldSpan kFuseField{33, 2};

// Reads the file line by line, filling `alg` as it goes so that a failure
// keeps what was read before it. A failure leaves in Detail() the line, the
// columns and the field at fault.
class AlgorithmReader {
 public:
  AlgorithmReader(AlgorithmData& alg, const std::vector<std::string>& lines)
      : alg_(alg), lines_(lines) {}

  ReadFailure ReadCount(long long& n) {
    return ReadInteger(kInt16Min, kInt16Max, n, "number of parameters");
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

  // The 1-based number of the first line after the last setting line that
  // holds anything, blanks included; 0 when there is none.
  size_t FirstTrailingLine() const {
    for (size_t at = next_; at < lines_.size(); ++at)
      if (!lines_[at].empty()) return at + 1;
    return 0;
  }
  size_t LinesRead() const { return next_; }

  const std::string& Detail() const { return detail_; }

 private:
  const std::string* Next(const std::string& what) {
    if (next_ < lines_.size()) return &lines_[next_++];
    detail_ = "Line " + IntText(static_cast<long long>(lines_.size()) + 1) + " (" + what +
              ") is missing: " +
              (lines_.empty() ? std::string("the file is empty.")
                              : "the file ends after line " +
                                    IntText(static_cast<long long>(lines_.size())) + ".");
    return nullptr;
  }

  ReadFailure Bad(FieldSpan span, const std::string& what, const std::string& problem) {
    detail_ = "Line " + IntText(static_cast<long long>(next_)) + ", columns " +
              IntText(static_cast<long long>(span.first)) + "-" +
              IntText(static_cast<long long>(span.first + span.count - 1)) + " (" + what +
              "): " + problem + ".";
    return ReadFailure::BadlyFormatted;
  }

  ReadFailure RealField(const std::string& line, FieldSpan span, const std::string& what,
                        double& out) {
    const std::string_view field = Columns(line, span.first, span.count);
    if (StrictReal(field, out)) return ReadFailure::None;
    return Bad(span, what, FieldProblem(field, "a number"));
  }

  // The fuse code: trimmed and upper-cased; a code that does not start and
  // end with a letter A-Z fuses nothing. A blank field is unreadable.
  ReadFailure FuseField(const std::string& line, const std::string& what, std::string& code) {
    const std::string_view field = TrimBlanks(Columns(line, kFuseField.first, kFuseField.count));
    if (field.empty()) {
      return Bad(kFuseField, what, "the field is blank (an unfused parameter has ~~ there)");
    }
    code = std::string(field);
    for (char& c : code)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    auto letter = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (!letter(code.front()) || !letter(code.back())) code = kUnfused;
    return ReadFailure::None;
  }

  ReadFailure ReadParameter(int i) {
    const std::string number = IntText(i);
    const std::string* line = Next("value, step size and fuse code of parameter " + number);
    if (!line) return ReadFailure::TooFew;
    ReadFailure failure =
        RealField(*line, kLeftField, "value of parameter " + number, alg_.Values[i]);
    if (failure == ReadFailure::None)
      failure = RealField(*line, kStepField, "step size of parameter " + number, alg_.Steps[i]);
    if (failure == ReadFailure::None)
      failure = FuseField(*line, "fuse code of parameter " + number, alg_.FuseCodes[i]);
    return failure;
  }

  ReadFailure ReadReal(double& out, const std::string& what) {
    const std::string* line = Next(what);
    if (!line) return ReadFailure::TooFew;
    return RealField(*line, kLeftField, what, out);
  }

  ReadFailure ReadInteger(long long lo, long long hi, long long& out, const std::string& what) {
    const std::string* line = Next(what);
    if (!line) return ReadFailure::TooFew;
    const std::string_view field = Columns(*line, kLeftField.first, kLeftField.count);
    if (StrictInteger(field, lo, hi, out)) return ReadFailure::None;
    return Bad(kLeftField, what,
               FieldProblem(field, "a whole number from " + IntText(lo) + " to " + IntText(hi)));
  }

  ReadFailure ReadInteger(long long lo, long long hi, int& out, const std::string& what) {
    long long value = 0;
    const ReadFailure failure = ReadInteger(lo, hi, value, what);
    if (failure == ReadFailure::None) out = static_cast<int>(value);
    return failure;
  }

  ReadFailure ReadSettings() {
    ReadFailure failure = ReadReal(alg_.SimplexLimit, "simplex limit");
    if (failure == ReadFailure::None)
      failure = ReadInteger(kInt32Min, kInt32Max, alg_.MaxFunctionCalls,
                            "maximum number of function calls");
    if (failure == ReadFailure::None)
      failure = ReadInteger(kInt16Min, kInt16Max, alg_.TerminalOutputFrequency,
                            "terminal output frequency");
    if (failure == ReadFailure::None)
      failure =
          ReadInteger(kInt16Min, kInt16Max, alg_.FileOutputFrequency, "file output frequency");
    if (failure == ReadFailure::None) {
      const std::string* line = Next("name of output file");
      if (!line) return ReadFailure::TooFew;
      // Taken exactly, the right-justifying blanks included.
      alg_.OutputFileName = std::string(Columns(*line, 1, kFieldWidth));
    }
    if (failure == ReadFailure::None)
      failure = ReadReal(alg_.StepReductionFraction, "step size reduction fraction");
    return failure;
  }

  AlgorithmData& alg_;
  const std::vector<std::string>& lines_;
  size_t next_ = 0;
  std::string detail_;
};

void ReportReadFailure(Desktop& desktop, MenuView* menu, const std::string& text) {
  if (menu) menu->HideMenu();
  desktop.Inform("Algorithm file - information input failed", text, Icon::Information);
  if (menu) {
    menu->ShowMenu();
    menu->SetEnabled({MenuButton::LoadAlg, MenuButton::Initialize}, true);
  }
}

// The described message, then on a line of its own what to mend.
std::string FailureText(ReadFailure failure, const std::string& detail) {
  const std::string text =
      failure == ReadFailure::TooFew
          ? "Algorithm file seems to have too few lines of information - better check it!"
          : "Algorithm file seems to have inappropriate, badly formatted, or missing, "
            "information - better check it!";
  return text + "\n\n" + detail;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The lines with a UTF-8 byte-order mark at the start of the file dropped, as
// editors that save UTF-8 may put one there.
std::vector<std::string> WithoutByteOrderMark(const std::vector<std::string>& lines) {
  std::vector<std::string> copy = lines;
  copy.front().erase(0, kByteOrderMark.size());
  return copy;
}

bool StartsWithByteOrderMark(const std::vector<std::string>& lines) {
  return !lines.empty() && std::string_view(lines.front()).substr(0, 3) == kByteOrderMark;
}

struct FileIdentity {
  std::string path, name;
};

void ReadLines(Workbench& wb, Desktop& desktop, MenuView* menu,
               const std::vector<std::string>& lines, const FileIdentity* previous) {
  if (StartsWithByteOrderMark(lines)) {
    return ReadLines(wb, desktop, menu, WithoutByteOrderMark(lines), previous);
  }
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
  if (failure != ReadFailure::None) return fail(FailureText(failure, reader.Detail()), true);
  if (n != alg.ParameterCount) {
    return fail("Algorithm file  " + alg.AlgorithmFilePath + "  has " + IntText(n) +
                    " parameters, but your model specifies " + IntText(alg.ParameterCount),
                true);
  }
  failure = reader.ReadParametersAndSettings();
  if (failure != ReadFailure::None) return fail(FailureText(failure, reader.Detail()), false);
  if (const size_t extra = reader.FirstTrailingLine(); extra != 0) {
    return fail(
        "Algorithm file seems to have too many lines of information - better check it!\n\n"
        "Line " +
            IntText(static_cast<long long>(extra)) + " comes after the last setting line (line " +
            IntText(static_cast<long long>(reader.LinesRead())) +
            ") and is not empty (a line of blanks counts).",
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
