#pragma once
// What the algorithm data editor remembers between its openings.

namespace estimetrix {

struct EditorState {
  // The constant that derives step sizes from values; 0 until the editor
  // first opens, when it becomes 0.1.
  double StepProportion = 0.0;
};

}  // namespace estimetrix
