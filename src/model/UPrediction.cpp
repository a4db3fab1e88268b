#include "UPrediction.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "TextFile.h"

bool& PredictTimeError = Session.PredictTimeError;

int (&PredSerial)[kPredictionCapacity] = Session.PredSerial;
double (&PredTime)[kPredictionCapacity] = Session.PredTime;
double (&PredRain)[kPredictionCapacity] = Session.PredRain;
double (&PredStorage)[kPredictionCapacity] = Session.PredStorage;
double (&PredDeficit)[kPredictionCapacity] = Session.PredDeficit;
double (&PredRecharge)[kPredictionCapacity] = Session.PredRecharge;
double (&PredAlpha)[kPredictionCapacity] = Session.PredAlpha;
double (&PredDischarge)[kPredictionCapacity] = Session.PredDischarge;
double (&PredLevel)[kPredictionCapacity] = Session.PredLevel;
int& PredCount = Session.PredCount;

double& PredMaxStorage = Session.PredMaxStorage;
double& PredInitStorage = Session.PredInitStorage;
double& PredMaxEscape = Session.PredMaxEscape;
std::string& PredUnitText = Session.PredUnitText;
double& PredPorosity = Session.PredPorosity;
bool& LinearFunctionMark = Session.LinearFunctionMark;

namespace T = PredictionTexts;

namespace {

// Blanks and points removed; "mm", "cm", "dm" and "m" get "/t".
std::string NormaliseUnitText(const std::string& text) {
  std::string unit;
  for (char c : text) {
    if (c != ' ' && c != '.') unit.push_back(c);
  }
  if (unit == "mm" || unit == "cm" || unit == "dm" || unit == "m") unit += "/t";
  return unit;
}

struct TInputRecord {
  int serial = 0;
  double time = 0;
  double rain = 0;
  std::optional<double> fileEscape;  // the escape-rate column, when readable
};

// Everything the run takes from the input file, read in full before any of
// it is stored, so that an unreadable file leaves the data set as it was.
struct TPredictionInput {
  std::string title1, title2;
  double maxStorage = 0, initStorage = 0, maxEscape = 0;
  std::string unitText;
  bool linearFunction = false;
  double alphaA = 0, alphaC = 0;
  double porosity = 0;  // percent
  double initRunoff = 0, initLevel = 0;
  std::vector<TInputRecord> records;
};

TPredictionInput ReadPredictionInput(const std::string& fileName) {
  const auto text = LoadTextFile(fileName);
  if (!text) throw TIOError("The input file \"" + fileName + "\" could not be read");
  TTextReader in(*text, fileName);
  TPredictionInput input;
  input.alphaA = AlphaA;
  input.alphaC = AlphaC;

  in.SkipLines(3);
  input.title1 = in.ReadLine();
  input.title2 = in.ReadLine();
  in.SkipLines(2);
  in.SkipChars(23);
  input.maxStorage = in.ReadReal();
  in.SkipLine();
  in.SkipChars(23);
  input.initStorage = in.ReadReal();
  in.SkipLine();
  in.SkipChars(23);
  input.maxEscape = in.ReadReal();
  input.unitText = NormaliseUnitText(in.ReadLine());

  bool porosityRead = false;
  if (in.ReadChars(4) == T::kLinearMark) {
    input.linearFunction = true;
    in.SkipLine();
    in.SkipChars(17);
    input.alphaA = in.ReadReal();
    in.SkipLine();
    in.SkipChars(17);
    input.alphaC = in.ReadReal();
    in.SkipLine();
    if (in.ReadChars(25) == T::kPorosityLabel) {
      input.porosity = in.ReadReal();
      porosityRead = true;
    }
  }
  if (!porosityRead) {
    in.SkipChars(26);
    input.porosity = in.ReadReal();
  }
  in.SkipLine();
  in.SkipChars(23);
  input.initRunoff = in.ReadReal();
  in.SkipLine();
  in.SkipChars(23);
  input.initLevel = in.ReadReal();
  in.SkipLine();

  // The end of the empty line and the start of the dashed line, then the
  // three lines of the column header; a header one line longer is accepted.
  in.SkipChars(23);
  std::string mark;
  for (int i = 0; i < 3; ++i) {
    mark = in.ReadChars(4);
    in.SkipLine();
  }
  if (mark != " ---") in.SkipLine();

  while (!in.SeekEof()) {
    if (static_cast<int>(input.records.size()) == kPredictionMaxRecords) {
      throw TIOError("The input file \"" + fileName + "\" holds more than " +
                     std::to_string(kPredictionMaxRecords) + " records");
    }
    TInputRecord record;
    record.serial = in.ReadInteger();
    record.time = in.ReadReal();
    record.rain = in.ReadReal();
    record.fileEscape = TryStringToFloat(Trim(in.ReadChars(12)));
    in.SkipLine();
    input.records.push_back(record);
  }
  return input;
}

bool StopRun(TDMTevlora& data, const char* message) {
  data.Dialogs->Message(message);
  PredictTimeError = true;
  return false;
}

}  // namespace

bool PredictionRecharge(TDMTevlora& data) {
  const TPredictionInput input = ReadPredictionInput(data.FileName);

  data.Title1 = input.title1;
  data.Title2 = input.title2;
  data.InitRunoff = input.initRunoff;
  data.InitLevel = input.initLevel;
  AlphaA = input.alphaA;
  AlphaC = input.alphaC;
  if (input.linearFunction) LinearFunctionMark = true;
  PredMaxStorage = input.maxStorage;
  PredInitStorage = input.initStorage;
  PredMaxEscape = input.maxEscape;
  PredUnitText = input.unitText;
  PredPorosity = input.porosity / 100;

  const int n = static_cast<int>(input.records.size());
  PredCount = n;
  // The escape rate of a record is the data set's; a record beyond the data
  // set's table takes the one the file holds, and failing that the maximum,
  // as a record without escape rate does when an input file is read.
  std::vector<double> escape(n + 1, 0.0);
  for (int k = 1; k <= n; ++k) {
    const TInputRecord& record = input.records[k - 1];
    PredSerial[k] = record.serial;
    PredTime[k] = record.time;
    PredRain[k] = record.rain;
    if (k - 1 < static_cast<int>(data.EscRate.size())) {
      escape[k] = data.EscRate[k - 1];
    } else {
      escape[k] = record.fileEscape.value_or(PredMaxEscape);
    }
  }

  // The true extremes, as the analysis compares them: times that rise and
  // then fall back a little are a time-sequence fault, not a lack of variation.
  double timeMax = n > 0 ? PredTime[1] : 0;
  double timeMin = timeMax;
  for (int k = 2; k <= n; ++k) {
    timeMax = std::max(timeMax, PredTime[k]);
    timeMin = std::min(timeMin, PredTime[k]);
  }
  if (timeMax - timeMin < 0.001) return StopRun(data, T::kNoTimeVariation);

  // The escape is relative to the maximum storage, and the head to the
  // porosity: neither may be zero.
  if (PredMaxStorage <= 0) return StopRun(data, T::kMaxStorage);
  if (data.Drainage && PredPorosity <= 0) return StopRun(data, T::kPorosity);

  const double maxStor = PredMaxStorage;
  const double initialRoom = maxStor - PredInitStorage;
  PredRecharge[1] = PredRain[1] - initialRoom;
  if (PredRecharge[1] >= 0) {
    PredStorage[1] = maxStor;
    PredDeficit[1] = 0;
  } else {
    PredRecharge[1] = 0;
    PredDeficit[1] = initialRoom - PredRain[1];
    PredStorage[1] = PredInitStorage + PredRain[1];
  }
  for (int k = 2; k <= n; ++k) {
    const double dt = PredTime[k] - PredTime[k - 1];
    if (dt <= 0) return StopRun(data, T::kTimeSequence);
    // Not limited: the storage may fall below 0, and the next escape is
    // then computed from that negative storage.
    const double escapeStep = escape[k] * dt * PredStorage[k - 1] / maxStor;
    PredRecharge[k] = PredRain[k] - (PredDeficit[k - 1] + escapeStep);
    if (PredRecharge[k] >= 0) {
      PredStorage[k] = maxStor;
      PredDeficit[k] = 0;
    } else {
      PredRecharge[k] = 0;
      PredDeficit[k] = PredDeficit[k - 1] + escapeStep - PredRain[k];
      PredStorage[k] = PredStorage[k - 1] - escapeStep + PredRain[k];
    }
  }
  return true;
}

void PredictionRouting(const TDMTevlora& data) {
  const int n = PredCount;
  if (n < 1) return;
  PredDischarge[1] = data.InitRunoff;
  // A runoff below -C would start with alpha at its floor.
  if (AlphaC < 0 && -AlphaC > PredDischarge[1]) PredDischarge[1] = -AlphaC * 1.1;
  PredLevel[1] = data.InitLevel;
  PredAlpha[1] = 0;
  for (int k = 2; k <= n; ++k) {
    double alpha = AlphaA * PredDischarge[k - 1] + AlphaC;
    if (alpha < 0.0001) alpha = 0.0001;
    PredAlpha[k] = alpha;
    const double f = std::exp(-alpha * (PredTime[k] - PredTime[k - 1]));
    PredDischarge[k] = PredDischarge[k - 1] * f + (1 - f) * PredRecharge[k];
    if (data.Drainage) {
      PredLevel[k] =
          PredLevel[k - 1] * f + (1 - f) * PredRecharge[k] / (0.8 * PredPorosity * alpha);
      if (PredLevel[k] < 0) PredLevel[k] = 0;
    } else {
      // Water balance of the main reservoir, not limited.
      PredLevel[k] = PredLevel[k - 1] + PredRecharge[k] - PredDischarge[k];
    }
  }
}

namespace {

// The results file of the tables, naming `inputFileName` on its fifth line.
std::string PredictionResultsText(const TDMTevlora& data, const std::string& inputFileName,
                                  TValueCheck& check) {
  TTextWriter out;
  out.Line(T::kResultsHeader);
  out.Line("");
  out.Line(data.Title1);
  out.Line(data.Title2);
  out << T::kInputFileUsed << inputFileName;
  out.EndLine();
  out.Line("");
  out << T::kMaxStorageLabel << check.Fixed(PredMaxStorage, 6, 2, "the maximum dead storage")
      << T::kStorageUnit;
  out.EndLine();
  out << T::kInitStorageLabel << check.Fixed(PredInitStorage, 6, 2, "the initial dead storage")
      << T::kStorageUnit;
  out.EndLine();
  out << T::kMaxEscapeLabel << check.Fixed(PredMaxEscape, 6, 2, "the maximum escape rate") << " "
      << PredUnitText;
  out.EndLine();
  out << T::kPorosityResultLabel << check.Fixed(PredPorosity * 100, 6, 2, "the porosity");
  out.EndLine();
  out.Line(T::kEquation);
  out.Line(T::kEquationF);
  if (LinearFunctionMark) {
    out.Line(data.Drainage ? T::kDrainageFunction : T::kRunoffFunction);
    out << T::kCoefficientB << check.Fixed(AlphaA, 10, 5, "B") << T::kCoefficientF
        << check.Fixed(AlphaC, 10, 5, "F");
    out.EndLine();
  }
  out.Line("");
  out.Line(data.Drainage ? T::kDrainageTitle : T::kRunoffTitle);
  const std::string dashes(64, '-');
  out.Line(dashes);
  out.Line(data.Drainage ? T::kDrainageColumns : T::kRunoffColumns);
  out.Line(T::kUnits);
  out.Line(dashes);
  for (int k = 1; k <= PredCount; ++k) {
    // Serial numbers up to 999 take four characters.
    const int serial = PredSerial[k];
    const int blanks = serial < 10 ? 3 : serial < 100 ? 2 : 1;
    out << std::string(blanks, ' ') << std::to_string(serial)
        << check.Column(PredTime[k], 10, 2, "the time", k)
        << check.Column(PredRain[k], 10, 2, "the rain", k)
        << check.Column(PredRecharge[k], 10, 2, "the recharge", k)
        << check.Column(PredAlpha[k], 10, 3, "the alpha", k)
        << check.Column(PredDischarge[k], 10, 2, data.Drainage ? "the discharge" : "the runoff", k)
        << check.Column(PredLevel[k], 10, 2, data.Drainage ? "the head" : "the storage", k);
    out.EndLine();
  }
  out.Line(std::string(63, '-'));
  return out.Text();
}

}  // namespace

bool WritePredictionResults(TDMTevlora& data) {
  const std::string outFileName = ChangeFileExt(data.FileName, ".out");
  // The data set is named by its ".inp" file from now on, whatever the
  // extension it was saved under, and also when the writing fails.
  data.FileName = ChangeFileExt(outFileName, ".inp");
  TValueCheck check;
  const std::string text = PredictionResultsText(data, data.FileName, check);
  if (!check.Ok()) {
    data.Dialogs->Message(ResultsNotWrittenText(check.Problem()));
    return false;
  }
  if (!SaveTextFileSafely(outFileName, text)) {
    throw TIOError("The results file \"" + outFileName + "\" could not be written" +
                  WriteFailureReason());
  }
  return true;
}

void RunPrediction(TDMTevlora& data) {
  PredictTimeError = false;
  if (!PredictionRecharge(data)) return;
  PredictionRouting(data);
  if (!WritePredictionResults(data)) PredictTimeError = true;
}
