// A session: the data set with its program values, and the runs made on it.
// The program makes one for its window, the batch tool one per file, a test
// as many as it needs; nothing of a run lives outside its session, so that
// sessions can work side by side.
#pragma once

#include "UDMTevlora.h"
#include "UPrediction.h"
#include "URainRun.h"

struct TSession {
  TDMTevlora Data;
  TAnalysisRun Run;
  TPredictionRun Prediction;
};
