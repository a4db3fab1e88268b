// Feeds the bytes of one file to one of the program's file readers, as the
// fuzz targets do and as the tests do when they replay the files that once
// made a reader fail. The file is written under a fixed name in a private
// folder, because the readers take file names.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TableFile.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UTevloraUtils.h"

namespace FuzzReaders {

// How a reader took the file: accepted, or refused with this message.
struct TOutcome {
  bool Accepted = true;
  std::string Message;
};

class TCollectedMessages : public TUserDialogs {
 public:
  void Message(const std::string& text) override { Text += text; }
  bool ConfirmYesNo(const std::string&) override { return false; }
  void Progress(const std::string&) override {}
  void Pause(int) override {}
  std::string Text;
};

// A private folder, removed again when the program ends.
class TFolder {
 public:
  TFolder() : path_((std::filesystem::temp_directory_path() / "tevlora-reader-XXXXXX").string()) {
    if (mkdtemp(path_.data()) == nullptr) std::abort();
  }
  ~TFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline const std::string& Folder() {
  static const TFolder folder;
  return folder.Path();
}

inline std::string Place(const std::string& bytes, const std::string& name) {
  const std::string path = Folder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

// The input file (.inp); no parameter file lies beside it.
inline TOutcome Input(const std::string& bytes) {
  TCollectedMessages messages;
  TDMTevlora data;
  data.Dialogs = &messages;
  data.FileName = Place(bytes, "basin.inp");
  std::error_code ignored;
  std::filesystem::remove(Folder() + "/basin.par", ignored);
  try {
    if (data.ReadInputFile()) return {};
    return {false, messages.Text};
  } catch (const TIOError& error) {
    return {false, error.what()};
  }
}

// The drainage parameter file (.par).
inline TOutcome Parameters(const std::string& bytes) {
  try {
    TProgramValues values;
    ReadDrainageParameters(Place(bytes, "basin.par"), values);
    return {};
  } catch (const TIOError& error) {
    return {false, error.what()};
  }
}

// The results file (.out): what the graphics tab reads of it, for every
// graph kind that needs no trend file.
inline TOutcome Results(const std::string& bytes) {
  TCollectedMessages messages;
  TDMTevlora data;
  data.Dialogs = &messages;
  data.FileName = data.OutFileName = Place(bytes, "basin.out");
  try {
    data.InspectOutputFile();
    for (const int kind : {1, 2, 3, 4, 5, 7, 9}) data.LoadGraphSeries(kind);
  } catch (const TIOError& error) {
    return {false, error.what()};
  }
  return {messages.Text.empty(), messages.Text};
}

// The trend file (.dat) beside a results file.
inline TOutcome Trend(const std::string& bytes) {
  Place(bytes, "basin.dat");
  try {
    ReadTrendFile(Folder() + "/basin.out");
    return {};
  } catch (const TIOError& error) {
    return {false, error.what()};
  }
}

// A measured table (CSV), read for an analysis and for a prediction. A
// refusal must name its reason; a table fit for an analysis is fit for a
// prediction too.
inline TOutcome Table(const std::string& bytes) {
  try {
    const TTableReadResult analysis = ReadTable(bytes, true);
    const TTableReadResult prediction = ReadTable(bytes, false);
    if (analysis.Records && !prediction.Records) return {false, {}};
    if (!prediction.Records) return {false, prediction.Message};
    if (!analysis.Records) return {false, analysis.Message};
    // The later stages too: filled gaps and days from hours, and the two
    // halves joined as a rain and a runoff table.
    TTableOptions staged;
    staged.FillGaps = 2;
    staged.StepHours = 24;
    const TTableReadResult days = ReadTable(bytes, staged);
    if (!days.Records && days.Message.empty()) return {false, {}};
    const std::size_t half = bytes.size() / 2;
    const TTableReadResult joined =
        ReadJoinedTables(bytes.substr(0, half), bytes.substr(half), {}, {});
    if (!joined.Records && joined.Message.empty()) return {false, {}};
    return {};
  } catch (const TIOError& error) {
    return {false, error.what()};
  }
}

}  // namespace FuzzReaders
