// "&Load algorithm data" and "&Save algorithm data" of the menu form.

#include "engine/algorithm_file.h"
#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

void LoadAlgorithmCommand(AppContext& ctx) {
  ctx.menu.CloseComputationWindows();
  LoadAlgorithmData(ctx.wb, ctx.desktop, ctx.menu);
}

void SaveAlgorithmCommand(AppContext& ctx) {
  // No second command may start while the save dialogue is open.
  ctx.menu.SetTwelveEnabled(false);
  Save_Alg(ctx.wb, ctx.desktop, AlgorithmFileWriter::MainMenu);
  ctx.menu.SetTwelveEnabled(true);
}

}  // namespace estimetrix
