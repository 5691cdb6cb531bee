#include "ui/priors_windows.h"

namespace estimetrix {

void OpenPriorsChooser(AppContext&) {}
void OpenPriorsEditor(AppContext&) {}

}  // namespace estimetrix
