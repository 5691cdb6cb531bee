#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

void SimplexCommand(AppContext&) {}

}  // namespace estimetrix
