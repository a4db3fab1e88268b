#include "BatchRunTable.h"

#include "BatchCommands.h"
#include "TableFile.h"
#include "TextFile.h"
#include "URainRun.h"
#include "URunModel.h"

bool RunAnalysisWithoutFiles(TSession& session) {
  TDMTevlora& data = session.Data;
  TAnalysisRun& run = session.Run;
  if (!data.Analysis) {
    data.Dialogs->Message(
        "--no-files: a prediction's results are its results file; nothing "
        "was run.");
    return false;
  }
  TUserDialogs& dialogs = *data.Dialogs;
  dialogs.Progress(RunModelTexts::kProgress10);
  run.RegressionOff = true;
  ReadAndCheck(data, run);
  if (!run.VariationOk || run.TimeSequenceError || data.RunAborted || !run.StorageOk) {
    return false;
  }
  run.RegressionOff = false;
  ReadAndCheck(data, run);
  OptimiseAlpha(data, run);
  if (!run.AlphaFitFound || data.RunAborted) return false;
  data.Values.AlphaA = run.BestA;
  data.Values.AlphaC = run.BestC;
  return true;
}

std::optional<std::string> RunTableRefusal(const std::string& input, const std::string& table,
                                           bool force) {
  return OverwriteRefusal(input, table, force);
}

bool WriteRunTable(const TSession& session, const std::string& table) {
  const std::string text = RunResultsTableCsv(session.Data, session.Run, session.Prediction);
  if (!SaveTextFileSafely(table, text)) {
    PrintMessage("tevlora-batch: the results table \"" + table + "\" could not be written" +
                 WriteFailureReason());
    return false;
  }
  PrintMessage("The results table was written to " + table);
  return true;
}
