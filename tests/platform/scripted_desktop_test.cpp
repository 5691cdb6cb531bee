#include "platform/scripted_desktop.h"

#include <gtest/gtest.h>

#include <string>

namespace estimetrix {
namespace {

TEST(ScriptedDesktop, AnswersInOrderAndRecordsTheUnexpected) {
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", std::string("a.alg"));
  EXPECT_EQ(desktop.Ask("Load algorithm data", "Load?", Buttons::YesNoCancel), Answer::Yes);
  EXPECT_EQ(desktop.OpenFileName({"Open algorithm data file", "f", 2, "", false}),
            std::optional<std::string>("a.alg"));
  EXPECT_TRUE(desktop.Failures().empty());
  EXPECT_EQ(desktop.Ask("Surprise", "?", Buttons::YesNo), Answer::Cancel);
  ASSERT_EQ(desktop.Failures().size(), 1u);
  EXPECT_EQ(desktop.Transcript().size(), 3u);
}

TEST(ScriptedDesktop, DateTimeNameHasEightDigits) {
  EXPECT_EQ(DateTimeName({2026, 3, 7, 9, 5, 0}), "03070905");
  EXPECT_EQ(DateTimeName({2026, 12, 31, 23, 59, 59}), "12312359");
}

TEST(ScriptedDesktop, ABoundedTranscriptKeepsTheLastDialogues) {
  ScriptedDesktop desktop;
  desktop.SetTranscriptLimit(3);
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  for (int i = 1; i <= 1000; ++i) desktop.Inform("Note", std::to_string(i));
  ASSERT_EQ(desktop.Transcript().size(), 3u);
  EXPECT_EQ(desktop.Transcript().front().text, "998");
  EXPECT_EQ(desktop.Transcript().back().text, "1000");
  EXPECT_TRUE(desktop.Failures().empty());
}

}  // namespace
}  // namespace estimetrix
