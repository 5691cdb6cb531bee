#pragma once
// The menu form's commands with the workbench's windows as their views. The
// commands themselves, and the menu's rules around them, live in
// engine/commands.h and are shared with the headless runner.

#include <functional>

#include "engine/commands/commands.h"

namespace estimetrix {

struct AppContext;

// Runs the command behind a menu button: the one-function-call, Simplex,
// Marquardt and covariance windows, the set-up form and the editor are found
// or created as the command needs them.
CommandOutcome RunCommand(AppContext& ctx, MenuButton button);

// Runs a command started from a chooser window (not a menu button) with the
// same windows as its views.
CommandOutcome RunWithWindows(AppContext& ctx,
                              const std::function<CommandOutcome(CommandContext&)>& command);

}  // namespace estimetrix
