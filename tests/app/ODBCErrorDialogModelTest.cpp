#include "app/ODBCErrorDialogModel.h"

#include <gtest/gtest.h>

namespace app {
namespace {

std::vector<ODBCDiagnosticRecord> ThreeRecords() {
  return {{"42S01", 1, "table exists"}, {"01000", 0, "warning"}, {"HY000", -7, "general error"}};
}

TEST(ODBCErrorDialogModel, WalksThreeRecordsOneAtATime) {
  ODBCErrorDialogModel model;
  EXPECT_FALSE(model.Showing());
  model.Begin(ThreeRecords(), "ignored while there are records");
  EXPECT_TRUE(model.Showing());
  EXPECT_EQ(model.Text(), "42S01:table exists");
  EXPECT_FALSE(model.BackEnabled());
  EXPECT_TRUE(model.NextEnabled());

  model.Next();
  EXPECT_EQ(model.Text(), "01000:warning");
  EXPECT_TRUE(model.BackEnabled());
  EXPECT_TRUE(model.NextEnabled());

  model.Next();
  EXPECT_EQ(model.Text(), "HY000:general error");
  EXPECT_TRUE(model.BackEnabled());
  EXPECT_FALSE(model.NextEnabled());
  model.Next();  // a disabled button does nothing
  EXPECT_EQ(model.Index(), 2u);

  model.Back();
  model.Back();
  model.Back();
  EXPECT_EQ(model.Index(), 0u);
  EXPECT_FALSE(model.BackEnabled());

  // Each showing starts on the first record again.
  model.Next();
  model.Begin(ThreeRecords(), "");
  EXPECT_EQ(model.Index(), 0u);
  model.End();
  EXPECT_FALSE(model.Showing());
}

TEST(ODBCErrorDialogModel, AnErrorWithoutRecordsShowsItsMessage) {
  ODBCErrorDialogModel model;
  model.Begin({}, "Database not opened");
  EXPECT_EQ(model.Text(), "Database not opened");
  EXPECT_FALSE(model.BackEnabled());
  EXPECT_FALSE(model.NextEnabled());
  model.Next();
  model.Back();
  EXPECT_EQ(model.Index(), 0u);

  model.Begin({{"08001", 0, "refused"}}, "");
  EXPECT_FALSE(model.NextEnabled());
  EXPECT_EQ(model.Text(), "08001:refused");
}

}  // namespace
}  // namespace app
