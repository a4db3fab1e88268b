#include "URunModel.h"

#include "TextFile.h"
#include "UPrediction.h"
#include "URainRun.h"

namespace T = RunModelTexts;

std::string RunOverInputText(const std::string& kind, const std::string& target,
                             const std::string& inputFileName) {
  return "The run was not started: its " + kind + " \"" + target +
         "\" would overwrite the input file \"" + inputFileName +
         "\". Save the input data under a name ending in .inp.";
}

std::string RunDoneText(const std::string& outFileName) {
  return "The input is saved in " + ChangeFileExt(outFileName, ".inp") + " ;" +
         " Calculations were done and the output is saved in  " + outFileName;
}

bool RunWouldOverwriteInput(const TDMTevlora& data, const std::string& inputFileName) {
  const std::pair<const char*, const char*> files[] = {{".out", "results file"},
                                                       {".dat", "trend file"}};
  for (const auto& [extension, kind] : files) {
    if (!data.Analysis && std::string(extension) == ".dat") continue;
    const std::string target = ChangeFileExt(data.FileName, extension);
    if (SameFile(target, inputFileName)) {
      data.Dialogs->Message(RunOverInputText(kind, target, inputFileName));
      return true;
    }
  }
  return false;
}

bool RunModel(TSession& session, const std::string& inputFileName) {
  TDMTevlora& data = session.Data;
  TAnalysisRun& run = session.Run;
  if (RunWouldOverwriteInput(data, inputFileName.empty() ? data.FileName : inputFileName)) {
    return false;
  }
  TUserDialogs& dialogs = *data.Dialogs;
  dialogs.Progress(T::kSaving);
  dialogs.Pause(500);
  dialogs.Progress(T::kProgress10);
  run.RegressionOff = true;
  if (data.Analysis) {
    RunAnalysis(data, run);
    if (!run.VariationOk) return false;
    // No fit, or results that cannot be written: stopped with its message.
    if (data.RunAborted) {
      data.RunAborted = false;
      return false;
    }
    // A negative time step stops the analysis with its message too; it must
    // not be taken for a finished run.
    if (run.TimeSequenceError) return false;
  } else {
    run.StorageOk = true;
    RunPrediction(data, session.Prediction);
    run.VariationOk = !session.Prediction.PredictTimeError;
    if (!run.VariationOk) return false;
    dialogs.Progress(T::kCalculating);
    dialogs.Pause(500);
    dialogs.Progress(T::kProgress75);
  }
  if (!data.RunAborted) dialogs.Pause(500);
  if (!run.StorageOk || data.RunAborted) {
    data.RunAborted = false;
    return false;
  }
  data.FileName = ChangeFileExt(data.FileName, ".out");
  data.LoadOutputLines(data.FileName);
  dialogs.Progress(T::kFiling);
  dialogs.Pause(1000);
  return true;
}
