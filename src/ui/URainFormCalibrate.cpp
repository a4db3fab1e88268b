// Save/Run with "Calibrate the storages too": the storage calibration of the
// input file just saved, on the worker with the progress bar and Cancel.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "StorageCalibration.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "URainForm.h"
#include "URainRun.h"
#include "UWorker.h"

namespace {
std::string ProgressLine(const TStorageProgress& progress) {
  std::string line = " Storages " + std::to_string(progress.Done) + " of " +
                     std::to_string(progress.Total) + " ....";
  if (progress.Found) {
    line += " best " + Trim(FormatFixed(progress.Best.MaxStorage, 1, 2)) + " / " +
            Trim(FormatFixed(progress.Best.InitStorage, 1, 2)) + " mm";
  }
  return line;
}
}  // namespace

bool TRainForm::CalibrateSavedInput() {
  TDMTevlora& d = session_.Data;
  // The records as the analysis reads them; the storages of the tab play no
  // part (a maximum storage of 0 must not stop the reading).
  TDMTevlora records = d;
  records.Dialogs = d.Dialogs;
  if (!(records.MaxStorage > 0)) records.MaxStorage = 1;
  const std::optional<std::string> text = records.InputFileText();
  if (!text) return false;
  TAnalysisRun run;
  run.RegressionOff = true;
  run.CalibrateUntil = session_.Run.CalibrateUntil;
  run.SearchThreadCount = session_.Run.SearchThreadCount;
  ReadAndCheckText(records, run, *text);
  if (!run.VariationOk || run.TimeSequenceError || records.RunAborted || !run.StorageOk) {
    return false;
  }
  TStorageRanges ranges;
  if (auto complaint = inputTab_->CalibrationRanges(DefaultStorageRanges(run), ranges)) {
    Message(*complaint);
    return false;
  }

  inputTab_->ShowWaitMemo();
  inputTab_->AppendProgress(
      QString::fromStdString(" Calibrating the storages: " + StorageRangesText(ranges)));
  // The calibration works on the records read above, on the worker; the
  // storages found reach the file and the fields only once it has finished.
  std::shared_ptr<TStorageCalibration> calibration;
  bool finished = false;
  try {
    finished = RunJob([&](TUserDialogs& dialogs, TJobControl& control) {
      TStorageCalibrationOptions options;
      options.Threads = run.SearchThreadCount;
      // The profile picture needs every pair's own optimum.
      options.FullProfile = true;
      options.Progress = [&dialogs, &control](const TStorageProgress& progress) {
        control.Progress(static_cast<double>(progress.Done) / std::max(progress.Total, 1));
        const int step = std::max(1, progress.Total / 10);
        if (progress.Done % step != 0 && progress.Done != progress.Total) return;
        dialogs.Progress(ProgressLine(progress));
      };
      options.Cancelled = [&control] { return control.Cancelled(); };
      auto found = std::make_shared<TStorageCalibration>(CalibrateStorages(run, ranges, options));
      if (!found->Cancelled) calibration = std::move(found);
    });
  } catch (const std::invalid_argument& refusal) {
    inputTab_->HideWaitMemo();
    Message(refusal.what());
    return false;
  } catch (...) {
    inputTab_->HideWaitMemo();
    throw;
  }
  if (!finished || !calibration) {
    inputTab_->HideWaitMemo();
    Message(RainFormTexts::kRunCancelled);
    SaveAborted = true;
    PageControl1->setCurrentWidget(InputTabSheet);
    return false;
  }
  if (!calibration->Found) {
    inputTab_->HideWaitMemo();
    Message(RainRunTexts::kNoFit);
    return false;
  }
  const TStoragePair best = calibration->BestPair();
  d.MaxStorage = best.MaxStorage;
  d.InitStorage = best.InitStorage;
  // The input file holds the storages found, so that its results belong to it.
  if (!d.WriteInputFile()) {
    inputTab_->HideWaitMemo();
    return false;
  }
  inputTab_->ShowStorages(best.MaxStorage, best.InitStorage);
  graphicsTab_->SetStorageProfile(calibration);
  if (const std::string edge = StorageRangeEdgeText(*calibration); !edge.empty()) {
    ShowStatus(QString::fromStdString(edge));
  }
  return true;
}
