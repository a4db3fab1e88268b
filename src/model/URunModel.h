// What Save/Run does once the input file is written: the progress lines, the
// analysis or the prediction of the file, and the verdict. The window and the
// batch tool both run a saved input file through here.
#pragma once

#include <string>

#include "USession.h"

namespace RunModelTexts {
inline constexpr const char* kSaving = " Saving data .....";
inline constexpr const char* kProgress10 = " Progress 10% ....";
inline constexpr const char* kCalculating = " Calculating .....";
inline constexpr const char* kProgress75 = " Progress 75% ....";
inline constexpr const char* kFiling = " Filing results ..";
}  // namespace RunModelTexts

// "The run was not started: its results file "X.out" would overwrite the
// input file "X.out". ..."
std::string RunOverInputText(const std::string& kind, const std::string& target,
                             const std::string& inputFileName);

// "The input is saved in X.inp ; Calculations were done and the output is
// saved in  X.out"
std::string RunDoneText(const std::string& outFileName);

// True, after a message, when the results file (or, for an analysis, the
// trend file) of data.FileName would be the file `inputFileName` itself, also
// under another path: such a run must not start.
bool RunWouldOverwriteInput(const TDMTevlora& data, const std::string& inputFileName);

// Runs the analysis (data.Analysis) or the prediction of data.FileName, which
// was just written, in the runs of `session` (data is session.Data). `inputFileName` is the user's
// input file the results belong to, when the run reads a copy of it (empty: data.FileName itself).
// Returns true when the results file was written: then data.FileName names it
// (".out") and its lines are loaded (OutLines); the caller closes with the
// message RunDoneText. Returns false when the run stopped with its own
// message. Throws TIOError for a file that cannot be read or written.
bool RunModel(TSession& session, const std::string& inputFileName = {});
