#include "gui/TmODBCErrorDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>


namespace gui {
namespace {

class TmODBCErrorDlgTest : public ::testing::Test {
 protected:
  TmODBCErrorDlg dialog;
};

TEST_F(TmODBCErrorDlgTest, ButtonsWalkThreeRecordsInTheirOrderAndRoles) {
  EXPECT_EQ(dialog.windowTitle(), "ODBC Error");
  EXPECT_TRUE(dialog.NextBtn.isDefault());
  // The text scrolls inside the box.
  EXPECT_EQ(dialog.ScrollBox.widget(), &dialog.ErrorLabel);
  EXPECT_EQ(dialog.OKBtn.nextInFocusChain(), &dialog.BackBtn);
  EXPECT_EQ(dialog.BackBtn.nextInFocusChain(), &dialog.NextBtn);
  EXPECT_LT(dialog.BackBtn.x(), dialog.NextBtn.x());
  EXPECT_LT(dialog.NextBtn.x(), dialog.OKBtn.x());
  // The style's icon at its own size, never scaled beyond the 34 x 34 place.
  EXPECT_FALSE(dialog.IconImage.pixmap().isNull());
  EXPECT_LE(dialog.IconImage.pixmap().deviceIndependentSize().width(), 34);

  dialog.Load({{"42S01", 1, "table exists"}, {"01000", 0, "warning"}, {"HY000", 5, "general error"}}, "");
  EXPECT_EQ(dialog.ErrorLabel.text(), "42S01:table exists");
  EXPECT_FALSE(dialog.BackBtn.isEnabled());
  QTest::mouseClick(&dialog.NextBtn, Qt::LeftButton);
  QTest::mouseClick(&dialog.NextBtn, Qt::LeftButton);
  EXPECT_EQ(dialog.ErrorLabel.text(), "HY000:general error");
  EXPECT_TRUE(dialog.BackBtn.isEnabled());
  EXPECT_FALSE(dialog.NextBtn.isEnabled());
  QTest::mouseClick(&dialog.BackBtn, Qt::LeftButton);
  EXPECT_EQ(dialog.ErrorLabel.text(), "01000:warning");
}

TEST_F(TmODBCErrorDlgTest, AMessageOnlyErrorDisablesBothWalkButtons) {
  dialog.Load({}, "Database not opened");
  EXPECT_EQ(dialog.ErrorLabel.text(), "Database not opened");
  EXPECT_FALSE(dialog.BackBtn.isEnabled());
  EXPECT_FALSE(dialog.NextBtn.isEnabled());
}

TEST_F(TmODBCErrorDlgTest, ShowErrorRunsModallyUntilOkAndRefusesASecondErrorMeanwhile) {
  bool secondShown = true;
  QString firstText;
  QTimer::singleShot(0, &dialog, [&] {
    firstText = dialog.ErrorLabel.text();
    // A second error while the first is shown is passed on, not shown here.
    secondShown = dialog.ShowError({{"HY000", 0, "second"}}, "");
    QTest::mouseClick(&dialog.OKBtn, Qt::LeftButton);
  });
  EXPECT_TRUE(dialog.ShowError({{"08001", 0, "refused"}, {"01000", 0, "more"}}, ""));
  EXPECT_EQ(firstText, "08001:refused");
  EXPECT_FALSE(secondShown);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.Model().Showing());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  // Esc closes it with the OK result as well.
  QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
  EXPECT_TRUE(dialog.ShowError({}, "Database not opened"));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace gui
