// The Intro and Figure pages, the pictures, and the help, comment and finish
// windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include "TestSupport.h"
#include "UCommentForm.h"
#include "UFinishForm.h"
#include "UHelpForm.h"
#include "UIntroPages.h"
#include "ui_Application.h"

namespace {

class AuxForms : public ::testing::Test {
 protected:
  void SetUp() override { TestApplication(); }
  TRecordingDialogs dialogs;
};

// Which of the five memos of the Intro page are visible.
std::vector<std::string> VisibleMemos(const TIntroPage& page) {
  std::vector<std::string> visible;
  for (const QPlainTextEdit* memo :
       {page.IntroMemo, page.FirstMemo, page.SecondMemo, page.AlphaMemo, page.HeadMemo}) {
    if (memo->isVisibleTo(&page)) visible.push_back(memo->objectName().toStdString());
  }
  return visible;
}

using Names = std::vector<std::string>;

TEST_F(AuxForms, IntroDetailButtonsAndBack) {
  TIntroPage page;
  page.show();
  EXPECT_EQ(VisibleMemos(page), Names{"IntroMemo"});

  QTest::mouseClick(page.FirstButton, Qt::LeftButton);
  EXPECT_EQ(VisibleMemos(page), Names{"FirstMemo"});
  // A second detail button while one memo is shown leaves only the new one.
  QTest::mouseClick(page.SecondButton, Qt::LeftButton);
  EXPECT_EQ(VisibleMemos(page), Names{"SecondMemo"});
  QTest::mouseClick(page.AlphaButton, Qt::LeftButton);
  EXPECT_EQ(VisibleMemos(page), Names{"AlphaMemo"});
  QTest::mouseClick(page.HeadButton, Qt::LeftButton);
  EXPECT_EQ(VisibleMemos(page), Names{"HeadMemo"});
  QTest::mouseClick(page.BackButton, Qt::LeftButton);
  EXPECT_EQ(VisibleMemos(page), Names{"IntroMemo"});
  // Back with the introduction already shown keeps it.
  page.BackButtonClick();
  EXPECT_EQ(VisibleMemos(page), Names{"IntroMemo"});
}

TEST_F(AuxForms, IntroTexts) {
  TIntroPage page;
  EXPECT_EQ(page.HelpGroupBox->title(), "Details");
  EXPECT_EQ(page.FirstButton->text(), "1st (pre) reservoir");
  EXPECT_EQ(page.SecondButton->text(), "2nd (main) reservoir");
  EXPECT_EQ(page.AlphaButton->text(), "Alpha (response) function");
  EXPECT_EQ(page.HeadButton->text(), "Water level (head)");
  EXPECT_EQ(page.BackButton->text(), "Back");
  // The buttons sit in the Details group.
  EXPECT_EQ(page.AlphaButton->parentWidget(), page.HelpGroupBox);

  const QString intro = page.IntroMemo->toPlainText();
  EXPECT_TRUE(intro.startsWith("INTRODUCTION TO THE TevloraT PROGRAM\n"));
  EXPECT_TRUE(intro.contains("Patience is needed."));
  EXPECT_TRUE(page.FirstMemo->toPlainText().startsWith(
      "CONVERSION OF RAINFALL INTO RECHARGE THROUGH THE\nFIRST RESERVOIR\n"));
  EXPECT_TRUE(page.SecondMemo->toPlainText().startsWith(
      "CALCULATING RUNOFF FROM THE SECOND RESERVOIR\nUSING THE RECHARGE COMING FROM THE FIRST\n"));
  EXPECT_TRUE(page.AlphaMemo->toPlainText().startsWith(
      "DETERMINING THE ALPHA FUNCTION FROM RAINFALL-RUNOFF DATA\n"));
  EXPECT_TRUE(
      page.HeadMemo->toPlainText().startsWith("DETERMINING THE WATER LEVEL (HYDRAULIC HEAD)\n"));
  for (const QPlainTextEdit* memo :
       {page.IntroMemo, page.FirstMemo, page.SecondMemo, page.AlphaMemo, page.HeadMemo}) {
    EXPECT_TRUE(memo->isReadOnly()) << memo->objectName().toStdString();
  }
}

TEST_F(AuxForms, FigurePageShowsTheDecodedDiagram) {
  TFigurePage page(dialogs);
  EXPECT_TRUE(dialogs.messages.empty());
  ASSERT_FALSE(page.Reservoir_Image->pixmap().isNull());
  EXPECT_EQ(page.Reservoir_Image->pixmap().size(), QSize(527, 435));
  EXPECT_EQ(page.Reservoir_Image->size(), QSize(513, 425));
  EXPECT_EQ(page.RefMemo->toPlainText().count('\n'), 1);
}

// The three pictures are real JPEG files, decoded through the JPEG plugin.
TEST_F(AuxForms, PicturesAreJpegOfTheirSizes) {
  ASSERT_TRUE(QImageReader::supportedImageFormats().contains("jpeg"));
  const std::pair<const char*, QSize> pictures[] = {{Pictures::kReservoir, QSize(527, 435)},
                                                    {Pictures::kInput, QSize(137, 168)},
                                                    {Pictures::kDrainage, QSize(400, 187)}};
  for (const auto& [name, size] : pictures) {
    SCOPED_TRACE(name);
    const QPixmap pixmap = LoadPicture(name, dialogs);
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), size);
    QFile file(QStringLiteral(":/pictures/") + name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF"));  // JPEG start-of-image marker
    EXPECT_TRUE(bytes.endsWith("\xFF\xD9"));
    file.seek(0);
    EXPECT_EQ(QImageReader::imageFormat(&file), "jpeg");
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(AuxForms, PictureThatCannotBeDecoded) {
  TTemporaryDirectory dir;
  const std::string broken = dir.File("broken.jpg");
  WriteFileBytes(broken, std::string("\xFF\xD8\xFF\xE0 not really a picture"));
  const QPixmap pixmap = LoadPicture(QString::fromStdString(broken), dialogs);
  EXPECT_TRUE(pixmap.isNull());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].rfind("The picture \"" + broken + "\" could not be shown (", 0),
            0u);

  dialogs.messages.clear();
  EXPECT_TRUE(LoadPicture("NoSuchPicture.jpg", dialogs).isNull());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("\"NoSuchPicture.jpg\""), std::string::npos);
}

TEST_F(AuxForms, FinishWindow) {
  TFinishForm finish;
  int terminations = 0;
  finish.Terminate = [&] { ++terminations; };
  EXPECT_EQ(finish.windowTitle(), "Tevlora finish");
  EXPECT_EQ(finish.size(), QSize(270, 237));
  EXPECT_EQ(finish.FinishButton->text(), "&Finish");
  EXPECT_TRUE(finish.FinishMemo->toPlainText().startsWith(" Thank you for using TevloraT\n"));

  // Closing the main window twice shows the same finish window again; the
  // program keeps running.
  finish.ShowFinish();
  EXPECT_TRUE(finish.isVisible());
  auto* status = finish.findChild<QStatusBar*>("StatusBar1");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->currentMessage(), "Click on the Finish button to end program");
  status->clearMessage();
  finish.ShowFinish();
  EXPECT_TRUE(finish.isVisible());
  EXPECT_EQ(terminations, 0);
  finish.hide();
  finish.ShowFinish();
  EXPECT_TRUE(finish.isVisible());
  EXPECT_EQ(status->currentMessage(), "Click on the Finish button to end program");
  EXPECT_EQ(terminations, 0);

  // Return finishes as the button does.
  finish.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&finish));
  QTest::keyClick(&finish, Qt::Key_Return);
  EXPECT_EQ(terminations, 1);
  QTest::mouseClick(finish.FinishButton, Qt::LeftButton);
  EXPECT_EQ(terminations, 2);
  // Closing the finish window ends the program too.
  EXPECT_TRUE(finish.close());
  EXPECT_EQ(terminations, 3);
}

TEST_F(AuxForms, HelpWindow) {
  THelpForm help;
  EXPECT_EQ(help.windowTitle(), "Start help");
  EXPECT_EQ(help.size(), QSize(550, 560));
  EXPECT_TRUE(help.isWindow());
  const QString text = help.HelpMemo->toPlainText();
  EXPECT_TRUE(text.startsWith(" START HELP\n"));
  for (const char* topic : {"NOTE 1:", "NOTE 2:", "\"Data\"", "MST", "IST", "MER"}) {
    EXPECT_TRUE(text.contains(topic)) << topic;
  }
  EXPECT_EQ(help.HelpMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(help.HelpMemo->isReadOnly());
  help.ShowHelp();
  EXPECT_TRUE(help.isVisible());
  EXPECT_FALSE(help.isModal());
  // Dates come in through Import table; Escape closes the help.
  EXPECT_FALSE(text.contains("Never enter dates"));
  EXPECT_TRUE(text.contains("Import table"));
  ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
  QTest::keyClick(help.HelpMemo, Qt::Key_Escape);
  EXPECT_FALSE(help.isVisible());
}

TEST_F(AuxForms, CommentWindow) {
  TCommentForm comment;
  EXPECT_EQ(comment.windowTitle(), "Comment on shape of the curve");
  EXPECT_EQ(comment.size(), QSize(402, 387));
  EXPECT_TRUE(comment.isWindow());
  EXPECT_TRUE(comment.CommentMemo->toPlainText().contains("time of concentration"));
  comment.ShowComment();
  EXPECT_TRUE(comment.isVisible());
  EXPECT_FALSE(comment.isModal());
  comment.hide();
  EXPECT_FALSE(comment.isVisible());
}

}  // namespace
