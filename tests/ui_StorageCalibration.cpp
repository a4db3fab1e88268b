// Save/Run with "Calibrate the storages too" and "Calibrate until time" on
// the real window.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "FitMeasures.h"
#include "ProfileMapDraw.h"
#include "StorageCalibration.h"
#include "TextFile.h"
#include "UFormHelpers.h"
#include "URainRun.h"
#include "ui_RainFormSupport.h"

namespace {

class StorageCalibrationWindow : public RainFormTest {
 protected:
  void SaveAs(const std::string& fileName) {
    Choose(fileName);
    form->InputSaveAction->trigger();
    Settle();
  }
  QLineEdit* Field(const char* name) { return Widget<QLineEdit>(*form, name); }
};

TEST_F(StorageCalibrationWindow, FindsTheStoragesAndShowsTheirResultsPeriodsAndProfile) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  ShowTab(form->InputTabSheet);
  // Turned on, the calibration offers the default ranges for this rain.
  Widget<QCheckBox>(*form, "CalibrateCheckBox")->setChecked(true);
  const double rain = *std::max_element(d().Rain.begin(), d().Rain.begin() + d().NrOfData);
  const TStorageRanges defaults = DefaultStorageRangesForRain(rain);
  EXPECT_EQ(Field("MaxStorRangeEdit")->text().toStdString(), StorageRangeText(defaults.MaxStorage));
  EXPECT_EQ(Field("InitStorRangeEdit")->text().toStdString(), "0,25,50,75,100");

  TypeField(Field("MaxStorRangeEdit"), "4:12:4");
  TypeField(Field("InitStorRangeEdit"), "0,100");
  TypeField(Field("CalibrateUntilEdit"), "8");
  const std::string saved = directory.File("flood.inp");
  SaveAs(saved);
  ASSERT_TRUE(FileExists(directory.File("flood.out")))
      << ::testing::PrintToString(dialogs.messages);

  // The same calibration made directly on the records of the file saved.
  TDMTevlora file;
  file.FileName = saved;
  ASSERT_TRUE(file.ReadInputFile());
  TAnalysisRun records;
  records.RegressionOff = true;
  records.CalibrateUntil = 8;
  ReadAndCheckText(file, records, *file.InputFileText());
  TStorageRanges ranges;
  ranges.MaxStorage = {4, 12, 4};
  ranges.InitialFractions = {0, 1};
  const TStorageCalibration expected = CalibrateStorages(records, ranges);
  ASSERT_TRUE(expected.Found);
  const TStoragePair best = expected.BestPair();
  // The file saved, the fields and the run hold the storages found.
  EXPECT_EQ(file.MaxStorage, best.MaxStorage);
  EXPECT_EQ(file.InitStorage, best.InitStorage);
  EXPECT_EQ(Field("MaxStorEdit")->text().toStdString(), ShortestText(best.MaxStorage));
  EXPECT_EQ(Field("InitStorEdit")->text().toStdString(), ShortestText(best.InitStorage));
  EXPECT_TRUE(run().BestA == expected.A && run().BestC == expected.C);

  // The Output tab gives both periods' measures.
  ASSERT_EQ(run().CalibrationCount, 8);
  const std::string panel = Widget<QLabel>(*form, "FitMeasuresPanel")->text().toStdString();
  const TFitMeasures validation = FitMeasuresOfRecords(run(), 9, run().RunCount);
  EXPECT_NE(panel.find("Validation\nRecords  4\nNSE      " + FitMeasureText(validation.NSE, 3)),
            std::string::npos)
      << panel;

  // The Graphics tab offers the profile and draws it.
  Widget<QPushButton>(*form, "ViewGraphButton")->click();
  Settle();
  auto* profile = Widget<QRadioButton>(*form, "ProfileRadioButton");
  ASSERT_TRUE(profile->isEnabled());
  profile->setChecked(true);
  Widget<QPushButton>(*form, "GoButton1")->click();
  Settle();
  EXPECT_EQ(form->Graphics().GraphKind(), kStorageProfileGraphKind);
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isHidden());

  // The hydrograph marks the end of the calibration records of this run only.
  const auto hydrograph = [this] {
    Widget<QRadioButton>(*form, "ReportHydrographRadioButton")->setChecked(true);
    Widget<QPushButton>(*form, "GoButton1")->click();
    Settle();
    return form->Graphics().GraphBitmap();
  };
  const QImage split = hydrograph();

  // The run's results opened again keep their profile and split; once the
  // file has changed since the run, they have none.
  const std::string out = ChangeFileExt(saved, ".out");
  for (const bool changed : {false, true}) {
    if (changed) {
      std::filesystem::last_write_time(
          out, std::filesystem::last_write_time(out) + std::chrono::seconds(2));
    }
    Choose(out);
    form->OutputOpenAction->trigger();
    EXPECT_EQ(profile->isEnabled(), !changed);
    Widget<QPushButton>(*form, "ViewGraphButton")->click();
    Settle();
    EXPECT_EQ(hydrograph() == split, !changed);
  }
}

TEST_F(StorageCalibrationWindow, CancelLeavesTheFilesAndStoragesAsTheyWere) {
  const std::string example = CopyExample("spotpy_d_flood2013_12d.inp");
  const std::string out = ChangeFileExt(example, ".out");
  ASSERT_TRUE(SaveTextFileSafely(out, "old results\r\n"));
  OpenInput(example);
  ShowTab(form->InputTabSheet);
  Widget<QCheckBox>(*form, "CalibrateCheckBox")->setChecked(true);
  TypeField(Field("MaxStorRangeEdit"), "4:12:4");
  TypeField(Field("InitStorRangeEdit"), "0,100");
  const QString maxStorage = Field("MaxStorEdit")->text();
  const QString initStorage = Field("InitStorEdit")->text();

  // Cancel is pressed at the first pair's progress line, while the
  // calibration's thread waits for it; the input file is the one just saved.
  auto* memo = Widget<QPlainTextEdit>(*form, "WaitMemo");
  auto* cancel = Widget<QPushButton>(*form, "CancelButton");
  std::string saved;
  const auto pressCancel = QObject::connect(memo, &QPlainTextEdit::textChanged, [&] {
    if (!memo->toPlainText().contains(" Storages 1 of") || !cancel->isEnabled()) return;
    saved = ReadFileBytes(example);
    cancel->click();
  });
  dialogs.answers = {true};  // overwrite the input file
  SaveAs(example);
  QObject::disconnect(pressCancel);

  ASSERT_FALSE(saved.empty());
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), RainFormTexts::kRunCancelled);
  EXPECT_EQ(ReadFileBytes(example), saved);
  EXPECT_EQ(ReadFileBytes(out), "old results\r\n");
  EXPECT_EQ(Field("MaxStorEdit")->text(), maxStorage);
  EXPECT_EQ(Field("InitStorEdit")->text(), initStorage);
  EXPECT_FALSE(Widget<QToolBar>(*form, "WorkBar")->isVisible());
  EXPECT_TRUE(form->InputSaveAction->isEnabled());
  EXPECT_TRUE(Field("MaxStorRangeEdit")->isEnabled());
}

TEST_F(StorageCalibrationWindow, RangesAndTimesThatDoNotDoStopSaveRunWithTheirMessage) {
  const struct {
    const char* field;
    const char* text;
    const char* complaint;
  } cases[] = {
      {"MaxStorRangeEdit", "12:4:4", "is empty"},
      {"InitStorRangeEdit", "0,-5", "no list of fractions"},
      {"CalibrateUntilEdit", "12", "must end at a time of the records"},
  };
  for (const auto& test : cases) {
    OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
    ShowTab(form->InputTabSheet);
    Widget<QCheckBox>(*form, "CalibrateCheckBox")->setChecked(true);
    TypeField(Field(test.field), test.text);
    dialogs.messages.clear();
    const std::string saved = directory.File(std::string(test.field) + ".inp");
    SaveAs(saved);
    EXPECT_TRUE(std::any_of(
        dialogs.messages.begin(), dialogs.messages.end(),
        [&](const std::string& text) { return text.find(test.complaint) != std::string::npos; }))
        << test.field << ": " << ::testing::PrintToString(dialogs.messages);
    EXPECT_FALSE(FileExists(ChangeFileExt(saved, ".out"))) << test.field;
    TypeField(Field(test.field), "");
  }
}

}  // namespace
