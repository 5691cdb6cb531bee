#include "engine/minimizers/simplex_text.h"

#include <cmath>

#include "engine/base/format.h"
#include "engine/state/workbench.h"

namespace estimetrix {
namespace {

const char* kSimplexValueFormat = "####0.#####";

std::string IndexField(int parameter) {
  return FormatNumber(parameter, "    000) ");
}

std::string SimplexValueField(double value) {
  return RightJustify(FormatNumber(value, "0.0000000E+00"), 14);
}

double VertexValue(const Workbench& wb, int vertex) {
  return wb.simplex.VertexValues[vertex];
}

std::string NoteLine(const Workbench& wb) {
  const SimplexState& s = wb.simplex;
  return "Note: " + IntText(s.IterationCount) + " iterations, " +
         IntText(wb.state.FunctionCallCount) + " function calls, and " + IntText(s.RestartCount) +
         " restarts";
}

std::string ResultRequiredLine(const Workbench& wb) {
  const SimplexState& s = wb.simplex;
  return "This result required " + IntText(s.IterationCount) + " iterations, " +
         IntText(wb.state.FunctionCallCount) + " function calls, and " + IntText(s.RestartCount) +
         " restarts";
}

std::string ImprovedLine(const Workbench& wb) {
  return "Number of function values (parameter vectors) improved: " +
         FormatNumber(wb.simplex.ImprovedCount, "#0") +
         "; Action accepted: " + wb.simplex.ActionText;
}

std::string CurrentLine(const Workbench& wb, double lowest, double highest) {
  return "Current: Min> " + FormatNumber(lowest, "####0.#####     ") + " Max> " +
         FormatNumber(highest, "####0.#####     ") + SimplexGapText(wb, lowest, highest);
}

std::string InitialLine(const Workbench& wb) {
  const SimplexState& s = wb.simplex;
  return "Initial Simplex: Starting function value> " +
         FormatNumber(VertexValue(wb, 1), kSimplexValueFormat) + " Max> " +
         FormatNumber(VertexValue(wb, s.HighVertex), kSimplexValueFormat) + " Min> " +
         FormatNumber(VertexValue(wb, s.LowVertex), kSimplexValueFormat);
}

}  // namespace

std::string SimplexParameterLines(const Workbench& wb, int column) {
  std::string text;
  for (int j = 1; j <= wb.free.FreeCount; ++j) {
    const int parameter = wb.free.FreeIndex[j];
    text += IndexField(parameter) + SimplexValueField(wb.simplex.SimplexMatrix(j, column)) + " " +
            RightJustify(wb.alg.FuseCodes[parameter], 3) + "  " + wb.alg.Descriptions[parameter] +
            "\n";
  }
  return text;
}

std::string SimplexLogRecords(const Workbench& wb, int column) {
  std::string text;
  for (int j = 1; j <= wb.free.FreeCount; ++j) {
    text += IndexField(wb.free.FreeIndex[j]) + SimplexValueField(wb.simplex.SimplexMatrix(j, column));
    if (j % 4 == 0) text += "\n";
  }
  return text;
}

std::string SimplexGapText(const Workbench& wb, double lowest, double highest) {
  if (wb.alg.SimplexLimit >= 0)
    return " Abs TC> " + FormatNumber(std::abs(highest - lowest), "0.0000E+00");
  if (lowest == 0.0) return " Rel TC> undefined";
  return " Rel TC> " + FormatNumber(std::abs((highest - lowest) / lowest), "0.0000E+00");
}

std::string SimplexInitialPaneText(const Workbench& wb) {
  return "\n" + InitialLine(wb) + "\n\nInitial parameter values:\n\n" +
         SimplexParameterLines(wb, 1);
}

std::string SimplexProgressPaneText(const Workbench& wb, double lowest, double highest) {
  std::string text = "\n" + NoteLine(wb) + "\n\n" + CurrentLine(wb, lowest, highest) + "\n\n";
  if (wb.alg.TerminalOutputFrequency == 1) text += ImprovedLine(wb) + "\n\n";
  text += "Current minimum found at these " + IntText(wb.free.FreeCount) +
          " adjusted parameter values:\n\n" + SimplexParameterLines(wb, wb.simplex.LowVertex) +
          "\n";
  return text;
}

std::string SimplexResultText(const Workbench& wb) {
  const int low = wb.simplex.LowVertex;
  return "\nMinimum of " + FormatNumber(VertexValue(wb, low), kSimplexValueFormat) + " found at these " +
         IntText(wb.free.FreeCount) + " adjusted parameter values:\n\n" + SimplexParameterLines(wb, low) +
         "\n" + ResultRequiredLine(wb) + "\n";
}

std::string SimplexInitialLogBlock(const Workbench& wb) {
  return "\n\nInitial parameter values:\n\n" + SimplexLogRecords(wb, 1) + "\n\n" + InitialLine(wb) +
         "\n";
}

std::string SimplexProgressLogBlock(const Workbench& wb, double lowest, double highest) {
  std::string text = "\n" + NoteLine(wb) + "\n";
  if (wb.alg.FileOutputFrequency == 1) text += ImprovedLine(wb) + "\n";
  text += "\nCurrent minimum found at these " + IntText(wb.free.FreeCount) +
          " adjusted parameter values: \n\n" + SimplexLogRecords(wb, wb.simplex.LowVertex) +
          "\n\n" + CurrentLine(wb, lowest, highest) + "\n\n";
  return text;
}

std::string SimplexFinalLogBlock(const Workbench& wb) {
  const int low = wb.simplex.LowVertex;
  return "\n\nMinimum of " + FormatNumber(VertexValue(wb, low), kSimplexValueFormat) + " found at these " +
         IntText(wb.free.FreeCount) + " adjusted parameter values:\n\n" + SimplexLogRecords(wb, low) +
         "\n\n" + ResultRequiredLine(wb) + "\n\n";
}

}  // namespace estimetrix
