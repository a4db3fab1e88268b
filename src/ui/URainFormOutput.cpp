// Open output: a results file on the Output tab, and the Output tab shown.
#include <QFileInfo>
#include <QFont>
#include <filesystem>

#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphicsTab.h"
#include "UOutputTab.h"
#include "URainForm.h"

namespace T = RainFormTexts;

void TRainForm::OutputTabSheetShow() {
  outputTab_->SetViewGraphVisible(OutputShown);
  InputSaveAction->setEnabled(false);
  GraphSaveAction->setEnabled(false);
  graphicsTab_->SetGraphReady(false);
  // Export table… only with results shown to export.
  TableExportAction->setEnabled(OutputShown && session_.Data.OutLineCount > 0);
  HideComment();
  ShowStatus(T::kOutputStatus);
}

// What Open output does on both tabs: the dialog, the chosen file's lines
// in the output memo, and the file names. False when the user cancelled.
bool TRainForm::OpenOutputFile() {
  TDMTevlora& d = session_.Data;
  QString chosen;
  if (!RunFileDialog(OutputOpenDialog, chosen)) {
    Message(T::kNoOutputSelected);
    return false;
  }
  d.FileName = LocalFileName(chosen);
  if (FileExists(d.FileName)) {
    d.LoadOutputLines(d.FileName);
  } else {
    Message(T::kFileMissing);
  }
  ShowStatus(T::kOutputOpenedStatus);
  outputTab_->ShowOutputLines();
  outputTab_->ShowFitMeasures(FitMeasuresOfResultsFile(d.FileName), true);
  // A results file opened is shown, and its table exported, as it stands.
  runTableCsv_.clear();
  // A storage profile and a calibration split belong to the results of
  // their own Save/Run: they stay only with that file, unchanged.
  std::error_code error;
  const bool runResults =
      !runResultsFile_.empty() && std::filesystem::equivalent(d.FileName, runResultsFile_, error) &&
      std::filesystem::last_write_time(d.FileName, error) == runResultsTime_ && !error;
  if (!runResults) {
    runResultsFile_.clear();
    graphicsTab_->SetStorageProfile(nullptr);
    graphicsTab_->SetCalibrationSplit(std::nullopt);
  }
  d.OutFileName = d.FileName;
  SetDialogDirs(DirectoryOf(d.FileName));
  return true;
}

void TRainForm::OutputOpenActionExecute() {
  Guarded([this] {
    if (!OpenOutputFile()) return;
    OutputShown = true;
    graphicsTab_->SetColourGraph(true);
    outputTab_->SetViewGraphVisible(true);
    graphicsTab_->ShowOpenGraphButton();
    graphicsTab_->ForgetGraph();
    HideComment();
    ShowTab(OutputTabSheet);
  });
}
