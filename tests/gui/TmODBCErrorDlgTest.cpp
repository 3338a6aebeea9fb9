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

TEST_F(TmODBCErrorDlgTest, LayoutAndTexts) {
  EXPECT_EQ(dialog.windowTitle(), "ODBC Error");
  EXPECT_EQ(dialog.size(), QSize(315, 151));
  EXPECT_EQ(dialog.BackBtn->text(), "< &Back");
  EXPECT_EQ(dialog.NextBtn->text(), "Next >");
  EXPECT_EQ(dialog.OKBtn->text(), "OK");
  EXPECT_EQ(dialog.BackBtn->geometry(), QRect(56, 120, 75, 25));
  EXPECT_EQ(dialog.NextBtn->geometry(), QRect(136, 120, 75, 25));
  EXPECT_EQ(dialog.OKBtn->geometry(), QRect(215, 120, 75, 25));
  EXPECT_TRUE(dialog.NextBtn->isDefault());
  EXPECT_TRUE(dialog.ErrorLabel->wordWrap());
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(dialog.OKBtn->nextInFocusChain(), dialog.BackBtn);
  EXPECT_EQ(dialog.BackBtn->nextInFocusChain(), dialog.NextBtn);
}

TEST_F(TmODBCErrorDlgTest, BackAndNextWalkThreeRecords) {
  dialog.Load({{"42S01", 1, "table exists"}, {"01000", 0, "warning"}, {"HY000", 5, "general error"}}, "");
  EXPECT_EQ(dialog.ErrorLabel->text(), "42S01:table exists");
  EXPECT_FALSE(dialog.BackBtn->isEnabled());
  EXPECT_TRUE(dialog.NextBtn->isEnabled());

  QTest::mouseClick(dialog.NextBtn, Qt::LeftButton);
  QTest::mouseClick(dialog.NextBtn, Qt::LeftButton);
  EXPECT_EQ(dialog.ErrorLabel->text(), "HY000:general error");
  EXPECT_TRUE(dialog.BackBtn->isEnabled());
  EXPECT_FALSE(dialog.NextBtn->isEnabled());

  QTest::mouseClick(dialog.BackBtn, Qt::LeftButton);
  EXPECT_EQ(dialog.ErrorLabel->text(), "01000:warning");
  EXPECT_TRUE(dialog.BackBtn->isEnabled());
  EXPECT_TRUE(dialog.NextBtn->isEnabled());
}

TEST_F(TmODBCErrorDlgTest, AMessageOnlyErrorDisablesBothWalkButtons) {
  dialog.Load({}, "Database not opened");
  EXPECT_EQ(dialog.ErrorLabel->text(), "Database not opened");
  EXPECT_FALSE(dialog.BackBtn->isEnabled());
  EXPECT_FALSE(dialog.NextBtn->isEnabled());
}

TEST_F(TmODBCErrorDlgTest, ShowErrorRunsModallyUntilOkAndRefusesASecondErrorMeanwhile) {
  bool secondShown = true;
  QString firstText;
  QTimer::singleShot(0, &dialog, [&] {
    firstText = dialog.ErrorLabel->text();
    // A second error while the first is shown is passed on, not shown here.
    secondShown = dialog.ShowError({{"HY000", 0, "second"}}, "");
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
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
