#include "ui/evaluation_windows.h"

namespace estimetrix {

void OpenEvaluationChooser(AppContext&) {}

}  // namespace estimetrix
