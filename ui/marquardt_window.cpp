#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

void MarquardtCommand(AppContext&) {}

}  // namespace estimetrix
