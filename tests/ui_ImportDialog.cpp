// The import dialog with real widgets: the first records as read, the role
// and unit of each column changed by the user, the area and escape fields,
// and Import only when the table can be taken.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>

#include "ImportDialog.h"
#include "TestSupport.h"
#include "ui_Application.h"

namespace {

using std::string;

// Picks `text` in a box as the user does.
void Pick(QComboBox* box, const char* text) {
  box->setCurrentIndex(box->findText(text));
  emit box->activated(box->currentIndex());
  QCoreApplication::processEvents();
}

TEST(ImportDialog, TheUserSettlesWhatTheNamesLeaveOpen) {
  TestApplication();
  TTemporaryDirectory directory;
  // Names the reader does not know; the runoff in litres per second.
  string text = "Datum;Niederschlag;Verdunstung;Abfluss\n";
  for (int day = 1; day <= 14; ++day) {
    text += std::to_string(day) + ".03.2016;" + std::to_string(day % 3) + ";0,5;" +
            std::to_string(day * 10) + "\n";
  }
  const string path = directory.File("messstelle.csv");
  WriteFileBytes(path, text);
  TImportDialog dialog(path, true);

  // The records as the reader splits them, and why they cannot be taken yet.
  ASSERT_EQ(dialog.PreviewGrid->columnCount(), 4);
  EXPECT_EQ(dialog.PreviewGrid->horizontalHeaderItem(3)->text(), "Abfluss");
  EXPECT_EQ(dialog.PreviewGrid->item(2, 0)->text(), "1.03.2016");
  EXPECT_EQ(dialog.PreviewGrid->item(3, 3)->text(), "20");
  EXPECT_EQ(dialog.ReportMemo->toPlainText().left(32), "Not imported:\nRow 1: no time col");
  EXPECT_FALSE(dialog.ImportButton->isEnabled());

  Pick(dialog.RoleBoxes[0], "time");
  Pick(dialog.RoleBoxes[1], "rain");
  Pick(dialog.RoleBoxes[2], "escape");
  Pick(dialog.RoleBoxes[3], "runoff");
  EXPECT_TRUE(dialog.ImportButton->isEnabled()) << dialog.ReportMemo->toPlainText().toStdString();
  EXPECT_FALSE(dialog.EscapeEdit->isEnabled());
  EXPECT_FALSE(dialog.AreaEdit->isEnabled());
  // A volume rate: the area is wanted before anything is imported.
  dialog.UnitBoxes[3]->setCurrentText("l/s");
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog.ImportButton->isEnabled());
  EXPECT_TRUE(dialog.AreaEdit->isEnabled());
  dialog.AreaEdit->setText("0.864");
  ASSERT_TRUE(dialog.Import()) << dialog.ReportMemo->toPlainText().toStdString();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  // 20 l/s over 0.864 km2 for a day: 1728 m3, 2 mm.
  EXPECT_DOUBLE_EQ(dialog.Records().Runoff[1], 2);
  EXPECT_EQ(dialog.Records().TimeOrigin, "days since 2016-03-01");
  EXPECT_EQ(dialog.EscapeRate(), 0.5);
}

TEST(ImportDialog, TheFieldsTakeAStretchFillGapsAndAddUpHours) {
  TestApplication();
  TTemporaryDirectory directory;
  // Four days of hours from 2012-10-01 00:00; the runoff is missing at
  // 05:00 on the first day (-999), and nothing of the last day is wanted.
  string text = "\"date\" \"P\" \"ETpot\" \"Q\"\n";
  for (int hour = 0; hour < 4 * 24; ++hour) {
    char date[16];
    std::snprintf(date, sizeof date, "201210%02d%02d", 1 + hour / 24, hour % 24);
    text += string(date) + " 0.5 0.01 " + (hour == 5 ? "-999" : "0.25") + "\n";
  }
  const string path = directory.File("brook.dat");
  WriteFileBytes(path, text);
  TImportDialog dialog(path, true);
  EXPECT_NE(dialog.ReportMemo->toPlainText().indexOf("\"-999\" marks a missing value"), -1);
  dialog.FillGapsEdit->setText("1");
  dialog.WindowFromEdit->setText("2012-10-01");
  dialog.WindowToEdit->setText("2012-10-03");
  // Three days of hours: 3 records as days (too few), 12 as six hours.
  dialog.StepBox->setCurrentText("6");
  ASSERT_TRUE(dialog.Import()) << dialog.ReportMemo->toPlainText().toStdString();
  const TTableRecords& records = dialog.Records();
  ASSERT_EQ(records.Count(), 12u);
  // Six hours: 3 mm of rain, 1.5 mm of runoff (the gap filled with 0.25).
  EXPECT_DOUBLE_EQ(records.Rain[0], 3);
  EXPECT_DOUBLE_EQ(records.Runoff[0], 1.5);
  EXPECT_EQ(records.TimeOrigin, "hours since 2012-10-01 00:00");
}

}  // namespace
