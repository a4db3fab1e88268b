// Save/Run with "Calibrate the storages too": the storage calibration of the
// input file just saved, on threads of its own while the window shows its
// progress lines.
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "StorageCalibration.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "URainForm.h"
#include "URainRun.h"

namespace {
QString ProgressLine(const TStorageProgress& progress) {
  QString line = QStringLiteral(" Storages %1 of %2 ....").arg(progress.Done).arg(progress.Total);
  if (progress.Found) {
    line +=
        QString::fromStdString(" best " + Trim(FormatFixed(progress.Best.MaxStorage, 1, 2)) +
                               " / " + Trim(FormatFixed(progress.Best.InitStorage, 1, 2)) + " mm");
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
  TStorageCalibrationOptions options;
  options.Threads = run.SearchThreadCount;
  // The profile picture needs every pair's own optimum.
  options.FullProfile = true;
  options.Progress = [this](const TStorageProgress& progress) {
    const int step = std::max(1, progress.Total / 10);
    if (progress.Done % step != 0 && progress.Done != progress.Total) return;
    const QString line = ProgressLine(progress);
    QMetaObject::invokeMethod(
        this, [this, line] { inputTab_->AppendProgress(line); }, Qt::QueuedConnection);
  };
  // The loop below ends early only when the program ends: the threads then
  // stop before their next pair.
  std::atomic<bool> stop(false);
  options.Cancelled = [&stop] { return stop.load(); };
  auto calibration = std::make_shared<TStorageCalibration>();
  std::exception_ptr failure;
  {
    // The window takes no command while the threads work; it keeps drawing
    // itself and the progress lines.
    setEnabled(false);
    QEventLoop loop;
    std::thread worker([&] {
      try {
        *calibration = CalibrateStorages(run, ranges, options);
      } catch (...) {
        failure = std::current_exception();
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    stop = true;
    worker.join();
    QCoreApplication::processEvents();
    setEnabled(true);
  }
  if (failure) {
    inputTab_->HideWaitMemo();
    try {
      std::rethrow_exception(failure);
    } catch (const std::invalid_argument& refusal) {
      Message(refusal.what());
      return false;
    }
  }
  if (calibration->Cancelled) {
    inputTab_->HideWaitMemo();
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
