#include "stack/ParamPanel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stack/FakeWindow.h"
#include "stack/SelectCommands.h"

namespace tarvel {
namespace {

using test::TFakePanel;

TEST(ParamPanelTest, EditsLineUpUnderTheWidestLabel) {
  struct TRow {
    const char* Label;
    bool Ratio;
    int EditLeft;  // labels start at x 3 and are 6 px per character
  };
  // "Angle X:" ends at 51, "Centre offset X:" at 99; "Y:" would end at 15 but the column is
  // already at 102; "A much longer label:" ends at 123.
  const TRow rows[] = {
      {"Angle X:", false, 54},
      {"Centre offset X:", true, 102},
      {"Y:", false, 102},
      {"A much longer label:", true, 126},
  };
  TFakePanel panel;
  std::vector<IParamControl*> changed;
  const TChangeHandler handler = [&](IParamControl& sender) { changed.push_back(&sender); };
  TSCInit command(nullptr);
  TStackCommand* tag = &command;
  int column = 0;
  int y = 8;
  std::vector<INumberEdit*> edits;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Label);
    INumberEdit& edit = row.Ratio ? RatioEdit(panel, 3, y, column, row.Label, tag, handler)
                                  : CoordinateEdit(panel, 3, y, column, row.Label, tag, handler);
    EXPECT_EQ(column, row.EditLeft);
    const TRect b = edit.Bounds();
    EXPECT_EQ(b.Left, row.EditLeft);
    EXPECT_EQ(b.Width, 70);
    EXPECT_EQ(b.Height, TFakePanel::kEditHeight);
    // Centred on the label: label 13 high at y, edit 21 high.
    EXPECT_EQ(b.Top, y - 4);
    auto& fake = dynamic_cast<test::TFakeNumberEdit&>(edit);
    EXPECT_EQ(fake.Decimals, 4);
    EXPECT_EQ(fake.Step, row.Ratio ? 0.01 : 0.0001);
    EXPECT_EQ(edit.Tag, tag);
    edits.push_back(&edit);
    y = b.Bottom() + 5;
  }
  const std::vector<test::TFakeLabel*> labels = panel.Labels();
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_EQ(labels[1]->Text, "Centre offset X:");
  EXPECT_EQ(labels[1]->Bounds(), (TRect{3, 30, 96, 13}));

  // Each edit reports itself to the handler it was given.
  dynamic_cast<test::TFakeNumberEdit&>(*edits[2]).Type(1.5);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], edits[2]);
  EXPECT_EQ(edits[2]->Value(), 1.5);
}

TEST(ParamPanelTest, ColumnFurtherRightIsKept) {
  TFakePanel panel;
  int column = 200;
  INumberEdit& edit = CoordinateEdit(panel, 3, 8, column, "X:", nullptr, {});
  EXPECT_EQ(edit.Bounds().Left, 200);
  EXPECT_EQ(column, 200);
  // Without a handler a change goes nowhere.
  edit.Changed();
  panel.Clear();
  EXPECT_TRUE(panel.Controls().empty());
}

}  // namespace
}  // namespace tarvel
