// Open input and Save/Run: from the file to the tab, and from the tab to the
// input file, the run and its results.
#include <QFileInfo>
#include <filesystem>

#include "FitMeasures.h"
#include "InputCheck.h"
#include "TableFile.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "UOutputTab.h"
#include "UPrediction.h"
#include "URainForm.h"
#include "URainRun.h"
#include "URunModel.h"
#include "UWorker.h"

namespace T = RainFormTexts;

namespace {
// Puts the data set's record count back when a save stops before writing.
class TCountGuard {
 public:
  explicit TCountGuard(TDMTevlora& data) : data_(data), count_(data.NrOfData) {}
  ~TCountGuard() {
    if (!committed_) data_.NrOfData = count_;
  }
  void Commit() { committed_ = true; }

 private:
  TDMTevlora& data_;
  int count_;
  bool committed_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// Open input

void TRainForm::InputOpenActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    HideCompanion(alfaForm_);
    d.ParLoaded = false;
    QString chosen;
    if (!RunFileDialog(InputOpenDialog, chosen)) {
      Message(T::kNoInputSelected);
      return;
    }
    d.FileName = LocalFileName(chosen);
    if (!FileExists(d.FileName)) {
      Message(T::kFileMissing);
      return;
    }
    if (!d.ReadInputFile()) return;
    // Nothing of an earlier file stays behind: a prediction has no runoff of
    // its own.
    if (!d.Analysis) d.Runoff.assign(d.Runoff.size(), 0.0);
    inputTab_->ShowOpenedFile();
    graphicsTab_->SetColourGraph(true);
    SetDialogDirs(DirectoryOf(d.FileName));
    // A file just opened was not switched from an analysis by the user.
    inputTab_->AnalysisOutFound = false;
    inputTab_->ShowDataSet();
    inputTab_->ShowGridFromTop();
    MarkInputSaved(d.FileName);
    RememberFile(d.FileName);
  });
}

// ---------------------------------------------------------------------------
// Save / Run

bool TRainForm::AskInputFileName() {
  TDMTevlora& d = session_.Data;
  SaveAborted = false;
  // The dialog proposes the name of the file being worked on.
  InputSaveDialog.ProposedName =
      currentFile_.empty() ? QString() : QFileInfo(QtFileName(currentFile_)).fileName();
  QString chosen;
  if (!RunFileDialog(InputSaveDialog, chosen)) {
    SaveAborted = true;
    return false;
  }
  d.FileName = LocalFileName(chosen);
  if (FileExists(d.FileName)) return d.ConfirmYesNo(T::kOverwrite);
  return true;
}

void TRainForm::InputSaveActionExecute() {
  // One run at a time: a tab shown meanwhile may enable the action again.
  if (worker_->Busy()) return;
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    HideCompanion(alfaForm_);
    // Every field that the save reads is checked before the file name is
    // asked for, and all that fail are named at once.
    // The grid's cells too, every one that fails named.
    std::string problems = inputTab_->ShownFieldProblems();
    std::optional<double> calibrateUntil;
    if (auto complaint = inputTab_->CalibrateUntilShown(calibrateUntil)) {
      problems += (problems.empty() ? "" : "\n") + *complaint;
    }
    if (!problems.empty()) problems += std::string("\n") + T::kNotSaved;
    if (const std::string cells = inputTab_->GridCellProblems(); !cells.empty()) {
      problems += (problems.empty() ? "" : "\n") + cells;
    }
    if (!problems.empty()) {
      Message(problems);
      return;
    }
    if (!AskInputFileName() || SaveAborted) {
      Message(T::kNotSaved);
      return;
    }
    inputTab_->TakeTitles();

    TCountGuard countGuard(d);
    TInputTab::TGridRows rows;
    if (!inputTab_->ReadGridRecords(rows) || !inputTab_->CheckRecordsAndFields()) return;
    if (!d.WriteInputFile()) return;
    countGuard.Commit();
    inputTab_->AfterInputWritten(rows);
    // What the tab shows now is what the file holds, also after the run.
    const std::string saved = d.FileName;
    MarkInputSaved(saved);
    RememberFile(saved);
    // The run may read the results file again; the mode saved is the one
    // that the results are shown for.
    const bool analysis = d.Analysis;
    session_.Run.CalibrateUntil = analysis ? calibrateUntil : std::nullopt;
    graphicsTab_->SetStorageProfile(nullptr);
    graphicsTab_->SetCalibrationSplit(session_.Run.CalibrateUntil);
    // The calibration writes the storages it found into the file and the
    // fields: what the tab shows is still what the file holds.
    const bool calibrated = !(analysis && inputTab_->CalibrationChosen()) || CalibrateSavedInput();
    MarkInputSaved(saved);
    if (!calibrated) return;
    const bool ran = RunSavedInput(analysis);
    MarkInputSaved(saved);
    if (!ran) return;
    ShowRunResults(analysis);
  });
}

bool TRainForm::RunSavedInput(bool analysis) {
  TDMTevlora& d = session_.Data;
  inputTab_->ShowWaitMemo();
  PaintNow();
  if (!analysis) {
    graphicsTab_->NameStorageChoice(d.Drainage);
  }
  // The run works on a session of its own; the window's one takes its
  // outcome only when the run was not cancelled.
  TSession work = session_;
  bool done = false;
  bool finished = false;
  try {
    finished = RunJob([&](TUserDialogs& dialogs, TJobControl& control) {
      work.Data.Dialogs = &dialogs;
      work.Run.SearchCancel = [&control] { return control.Cancelled(); };
      done = RunModel(work);
    });
  } catch (...) {
    inputTab_->HideWaitMemo();
    throw;
  }
  if (!finished) {
    inputTab_->HideWaitMemo();
    Message(T::kRunCancelled);
    SaveAborted = true;
    PageControl1->setCurrentWidget(InputTabSheet);
    return false;
  }
  TUserDialogs* const windowDialogs = session_.Data.Dialogs;
  session_ = std::move(work);
  session_.Data.Dialogs = windowDialogs;
  session_.Run.SearchCancel = nullptr;
  if (analysis) {
    // The analysis tells how many records it read.
    inputTab_->ShowRunCount(session_.Run.RunCount);
    if (session_.Run.VariationOk) graphicsTab_->NameStorageChoice(true);
  }
  SaveAborted = !done;
  if (!done) {
    inputTab_->HideWaitMemo();
    // After a check of the run's own (not a missing variation) the Input
    // tab comes back.
    if (session_.Run.VariationOk) PageControl1->setCurrentWidget(InputTabSheet);
    return false;
  }
  inputTab_->HideWaitMemo(false);
  return true;
}

void TRainForm::ShowRunResults(bool analysis) {
  TDMTevlora& d = session_.Data;
  Message(RunDoneText(d.FileName));
  outputTab_->ShowOutputLines();
  const TAnalysisRun& run = session_.Run;
  outputTab_->ShowFitMeasures(analysis ? FitMeasuresOfRun(run) : TFitMeasures{});
  if (analysis && run.CalibrateUntil) {
    outputTab_->ShowPeriodMeasures(
        FitMeasuresOfRecords(run, 2, run.CalibrationCount),
        FitMeasuresOfRecords(run, run.CalibrationCount + 1, run.RunCount));
  }
  runTableCsv_ = RunResultsTableCsv(d, session_.Run, session_.Prediction);
  d.OutFileName = d.FileName;
  std::error_code error;
  runResultsFile_ = d.FileName;
  runResultsTime_ = std::filesystem::last_write_time(d.FileName, error);
  SetDialogDirs(DirectoryOf(d.FileName));
  outputTab_->ShowResults();
  OutputShown = true;
  graphicsTab_->SetGraphReady(true);
  // A graph of earlier results is not shown again.
  graphicsTab_->ForgetGraph();
  ShowTab(OutputTabSheet);
}
