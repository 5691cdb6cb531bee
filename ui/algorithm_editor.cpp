#include "ui/algorithm_editor.h"

#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

AlgorithmEditor::AlgorithmEditor(AppContext& ctx, Mode mode, QWidget* parent)
    : QWidget(parent), ctx_(ctx), mode_(mode) {}

AlgorithmEditor* OpenAlgorithmEditor(AppContext&, AlgorithmEditor::Mode) { return nullptr; }
void OpenAlgorithmEditorAndWait(AppContext&, AlgorithmEditor::Mode) {}
void EditAlgorithmCommand(AppContext&) {}

}  // namespace estimetrix
