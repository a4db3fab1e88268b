// Results files (.out) of both runs read back: as lines for the output tab,
// inspected for their kind and titles, and as a table for the graphs.
//
// Every search for a marker stops at the end of the file, and every read is
// bounded by the lines the file has: a results file of the other kind, a
// truncated or a damaged one gives empty or partly filled series, never a
// crash.
#include <algorithm>
#include <array>
#include <optional>

#include "TextFile.h"
#include "UDMTevlora.h"

namespace {

// Texts of the results-file readers.
constexpr const char* kCheckRunoffData = "Please check the runoff/discharge data";

std::string OutputLinesNotOpenedText(const std::string& fileName) {
  return "The file \"" + fileName + "\" could not be opened.  It may be damaged," +
         "  not created due to inadequate input data," + "  in use by another program.";
}

std::string ResultsNotOpenedText(const std::string& fileName) {
  return "The file \"" + fileName + "\"could not be opened." +
         " It may be damaged,  not created due to inadequate" +
         "input data, or in use by another program.";
}

// Markers: the first four characters of a line.
constexpr const char* kPredictionMarker = "PRED";
constexpr const char* kReconstructionMarker = "RECO";
constexpr const char* kEquationMarker = "Equa";
constexpr const char* kFunctionMarker = "line";
constexpr const char* kPredictionWord = "PREDICTION";
constexpr const char* kDrainageWord = " dra";
// A closing line that older results files may carry under the table.
constexpr const char* kOldRSquareLine = "(Coefficient of explanation R square is: ";

std::string Marker(const std::string& line) {
  return line.substr(0, 4);
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// From the top of the file, moves `in` past the first line whose marker is
// `marker` and returns that line; nullopt (with `in` at the end) when the file
// has none. The search begins below the two title lines: they are the user's
// own text and may well begin like a marker ("PREDICTED flows").
std::optional<std::string> FindMarkerLine(TTextReader& in, const char* marker) {
  in.SkipLines(4);
  while (!in.Eof()) {
    std::string line = in.ReadLine();
    if (Marker(line) == marker) return line;
  }
  return std::nullopt;
}

// Number of lines from the reader's position to the end of the file, and the
// last of them.
int CountLines(TTextReader in, std::string& lastLine) {
  int count = 0;
  while (!in.Eof()) {
    lastLine = in.ReadLine();
    ++count;
  }
  return count;
}

// Reads "X =<number><5 characters><number>" as found on the A/C line of an
// analysis results file and the B/F line of a prediction results file.
void ReadCoefficientLine(TTextReader& in, TProgramValues& values) {
  in.SkipChars(4);
  const double a = in.ReadReal();
  in.SkipChars(5);
  const double c = in.ReadReal();
  values.AlphaA = a;
  values.AlphaC = c;
}

// The records of a results table as they stand in the file: a serial number
// and six numbers in the column order of the file.
struct TResultsTable {
  DataArrayI serial;
  std::array<DataArrayR, 6> column;

  void ReadRecords(TTextReader& in, int count) {
    for (int i = 0; i < count; ++i) {
      const int number = in.ReadInteger();
      std::array<double, 6> values;
      for (double& value : values) value = in.ReadReal();
      in.SkipLine();
      serial.push_back(number);
      for (int c = 0; c < 6; ++c) column[c].push_back(values[c]);
    }
  }
};

// The reconstruction table of an analysis results file (kinds 1, 3, 7, 8, 9).
// Throws TIOError on a read error; false when the file has no such table.
bool ReadAnalysisTable(TDMTevlora& data, const std::string& text, int graphKind,
                       TResultsTable& table) {
  if (graphKind == 1) {
    // The A/C line follows the equation, which takes one or two lines.
    TTextReader in(text);
    in.SkipLines(9);
    const std::string line10 = in.ReadLine();
    in.SkipLines(Marker(line10) == kEquationMarker ? 2 : 1);
    ReadCoefficientLine(in, data.Values);
  }

  TTextReader in(text);
  if (!FindMarkerLine(in, kReconstructionMarker)) return false;
  in.SkipLines(5);  // dashes, two title lines, units, dashes
  std::string lastLine;
  // After the table: dashes, standard deviation, R square and an empty line.
  int count = CountLines(in, lastLine) - 4;
  if (StartsWith(lastLine, kOldRSquareLine)) --count;
  table.ReadRecords(in, count);

  if (graphKind == 1 || graphKind == 7) {
    in.SkipLines(2);
    in.SkipChars(40);
    data.Values.RSquare = in.ReadReal();
  }
  return true;
}

// The prediction table of a prediction results file (kinds 2, 4, 5).
bool ReadPredictionTable(TDMTevlora& data, const std::string& text, int graphKind,
                         TResultsTable& table) {
  if (graphKind == 5) {
    TTextReader title(text);
    const auto line = FindMarkerLine(title, kPredictionMarker);
    if (!line) return false;
    data.Drainage = line->substr(std::min<std::size_t>(10, line->size()), 4) == kDrainageWord;

    // The B/F line follows the equation and the name of the function.
    TTextReader in(text);
    in.SkipLines(10);
    std::string last = in.ReadLine();
    if (Marker(last) == kEquationMarker) last = in.ReadLine();
    if (Marker(last) != kFunctionMarker) in.SkipLine();
    ReadCoefficientLine(in, data.Values);
  }

  TTextReader in(text);
  if (!FindMarkerLine(in, kPredictionMarker)) return false;
  in.SkipLines(4);  // dashes, column titles, units, dashes
  std::string lastLine;
  const int count = CountLines(in, lastLine) - 1;  // the closing dashes
  table.ReadRecords(in, count);
  return true;
}

}  // namespace

void TDMTevlora::LoadOutputLines(const std::string& fileName) {
  const auto text = LoadTextFile(fileName);
  if (!text) {
    Dialogs->Message(OutputLinesNotOpenedText(fileName));
    return;
  }
  TTextReader in(*text, fileName);
  LineSet lines;
  while (!in.Eof()) lines.push_back(in.ReadLine());
  OutLineCount = static_cast<int>(lines.size());
  // The lines grow with the file: an empty file leaves the earlier ones.
  if (!lines.empty()) OutLines = std::move(lines);
}

void TDMTevlora::InspectOutputFile() {
  const auto text = LoadTextFile(OutFileName);
  if (!text) {
    Dialogs->Message(ResultsNotOpenedText(OutFileName));
    return;
  }
  TTextReader in(*text, OutFileName);
  in.SkipLines(2);
  Title1 = in.ReadLine();
  Title2 = in.ReadLine();
  in.SkipLines(10);
  ResultsMarker = in.ReadChars(4);

  // Only a prediction results file changes the run mode. An analysis results
  // file leaves it alone: the graphics tab tells the kinds apart by
  // ResultsMarker, and the mode belongs to the data set of the input tab.
  TTextReader search(*text, OutFileName);
  if (const auto line = FindMarkerLine(search, kPredictionMarker)) {
    if (line->substr(0, 10) == kPredictionWord) {
      ResultsMarker = kPredictionMarker;
      Analysis = false;
      Drainage = line->substr(10, 4) == kDrainageWord;
    }
  }
}

void TDMTevlora::LoadGraphSeries(int graphKind) {
  const bool analysisKind =
      graphKind == 1 || graphKind == 3 || graphKind == 7 || graphKind == 8 || graphKind == 9;
  const bool predictionKind = graphKind == 2 || graphKind == 4 || graphKind == 5;
  if (!analysisKind && !predictionKind) return;

  const auto text = LoadTextFile(OutFileName);
  if (!text) {
    Dialogs->Message(ResultsNotOpenedText(OutFileName));
    return;
  }
  if (graphKind == 1) {
    TTextReader in(*text);
    if (FindMarkerLine(in, kPredictionMarker)) {
      Dialogs->Message(kCheckRunoffData);
      return;
    }
  }

  // A read error keeps the records read so far; the series then hold
  // exactly those, so that NrOfData never exceeds them.
  TResultsTable table;
  bool complete = false;
  try {
    complete = analysisKind ? ReadAnalysisTable(*this, *text, graphKind, table)
                            : ReadPredictionTable(*this, *text, graphKind, table);
  } catch (const TIOError&) {
    complete = false;
  }
  if (!complete) Values.RSquare = 0;

  SerialNr = std::move(table.serial);
  NrOfData = static_cast<int>(SerialNr.size());
  auto& c = table.column;
  if (analysisKind) {
    SeriesT = std::move(c[0]);
    SeriesA = std::move(c[1]);
    SeriesB = std::move(c[2]);
    SeriesD = std::move(c[3]);
    SeriesC = std::move(c[5]);
  } else if (graphKind == 2) {
    SeriesT = std::move(c[0]);
    SeriesA = std::move(c[1]);
    SeriesB = std::move(c[2]);
    SeriesD = std::move(c[3]);
    SeriesC = std::move(c[4]);
  } else {
    SeriesT = std::move(c[0]);
    SeriesC = std::move(c[1]);
    SeriesB = std::move(c[2]);
    SeriesD = std::move(c[3]);
    SeriesA = std::move(c[4]);
    SeriesF = std::move(c[5]);
  }
  // Observed against calculated: the measured runoff on both axes' series.
  if (graphKind == 7) SeriesT = SeriesD;
}
