#pragma once
// A MarquardtView for tests, the headless runner and benchmarks: keeps the
// window's text and the state of its controls as plain values.

#include <string>

#include "engine/minimizers/marquardt.h"

namespace estimetrix::testing {

class RecordingMarquardtView : public MarquardtView {
 public:
  void Show(int freeCount) override {
    visible = true;
    shownWithFreeCount = freeCount;
    ++showCount;
  }
  void Close() override {
    visible = false;
    ++closeCount;
  }
  void SetText(const std::string& value) override {
    text = value;
    ++textCount;
  }
  void SetInterruptEnabled(bool enabled) override { interruptEnabled = enabled; }
  void SetInterruptCaption(const std::string& caption) override { interruptCaption = caption; }
  void SetDerivativeButtonsVisible(bool visible_) override {
    derivativeButtonsVisible = visible_;
    if (visible_) ++derivativeDisplays;
  }

  bool visible = false;
  int shownWithFreeCount = 0;
  int showCount = 0;
  int closeCount = 0;
  int textCount = 0;
  int derivativeDisplays = 0;
  std::string text;
  bool interruptEnabled = false;
  std::string interruptCaption;
  bool derivativeButtonsVisible = false;
};

}  // namespace estimetrix::testing
