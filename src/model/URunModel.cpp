#include "URunModel.h"

#include "TextFile.h"
#include "UPrediction.h"
#include "URainRun.h"

namespace T = RunModelTexts;

std::string RunDoneText(const std::string& outFileName) {
  return "The input is saved in " + ChangeFileExt(outFileName, ".inp") + " ;" +
         " Calculations were done and the output is saved in  " + outFileName;
}

bool RunModel(TDMTevlora& data) {
  TUserDialogs& dialogs = *data.Dialogs;
  dialogs.Progress(T::kSaving);
  dialogs.Pause(500);
  dialogs.Progress(T::kProgress10);
  RegressionOff = true;
  if (data.Analysis) {
    RunAnalysis(data);
    if (!VariationOk) return false;
    // A negative time step stops the analysis with its message too; it must
    // not be taken for a finished run.
    if (TimeSequenceError) return false;
  } else {
    StorageOk = true;
    RunPrediction(data);
    VariationOk = !PredictTimeError;
    if (!VariationOk) return false;
    dialogs.Progress(T::kCalculating);
    dialogs.Pause(500);
    dialogs.Progress(T::kProgress75);
  }
  if (!data.RunAborted) dialogs.Pause(500);
  if (!StorageOk || data.RunAborted) {
    data.RunAborted = false;
    return false;
  }
  data.FileName = ChangeFileExt(data.FileName, ".out");
  data.LoadOutputLines(data.FileName);
  dialogs.Progress(T::kFiling);
  dialogs.Pause(1000);
  return true;
}
