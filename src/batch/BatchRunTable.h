// tevlora-batch run --csv and --no-files: the results table of a run at full
// precision, and an analysis that writes no results or trend file.
#pragma once

#include <optional>
#include <string>

#include "USession.h"

// The analysis of the input file session.Data.FileName (just written) as
// Save/Run makes it, but without the results and trend files. False when the
// run stopped with its message; a prediction is not run (its results are its
// file).
bool RunAnalysisWithoutFiles(TSession& session);

// The refusal of a --csv table before the run (it is an input file, or
// exists and --force was not given); nothing when the way is free.
std::optional<std::string> RunTableRefusal(const std::string& input, const std::string& table,
                                           bool force);

// Writes the results table of the run of `session` to `table`; false after a
// message when it could not be written.
bool WriteRunTable(const TSession& session, const std::string& table);
