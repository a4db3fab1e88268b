#include "UPrediction.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "TextFile.h"

namespace T = PredictionTexts;

void TPredictionRun::Resize(int records) {
  const std::size_t size = static_cast<std::size_t>(records) + 1;
  PredSerial.resize(size);
  for (auto* table : {&PredTime, &PredRain, &PredStorage, &PredDeficit, &PredRecharge, &PredAlpha,
                      &PredDischarge, &PredLevel}) {
    table->resize(size);
  }
}

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

TPredictionInput ReadPredictionInput(const std::string& fileName, const TProgramValues& values) {
  const auto text = LoadTextFile(fileName);
  if (!text) throw TIOError("The input file \"" + fileName + "\" could not be read");
  TTextReader in(*text, fileName);
  TPredictionInput input;
  input.alphaA = values.AlphaA;
  input.alphaC = values.AlphaC;

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

bool StopRun(TDMTevlora& data, TPredictionRun& run, const char* message) {
  data.Dialogs->Message(message);
  run.PredictTimeError = true;
  return false;
}

}  // namespace

bool PredictionRecharge(TDMTevlora& data, TPredictionRun& run) {
  const TPredictionInput input = ReadPredictionInput(data.FileName, data.Values);

  data.Title1 = input.title1;
  data.Title2 = input.title2;
  data.InitRunoff = input.initRunoff;
  data.InitLevel = input.initLevel;
  data.Values.AlphaA = input.alphaA;
  data.Values.AlphaC = input.alphaC;
  if (input.linearFunction) run.LinearFunctionMark = true;
  run.PredMaxStorage = input.maxStorage;
  run.PredInitStorage = input.initStorage;
  run.PredMaxEscape = input.maxEscape;
  run.PredUnitText = input.unitText;
  run.PredPorosity = input.porosity / 100;

  const int n = static_cast<int>(input.records.size());
  run.Resize(n);
  run.PredCount = n;
  // The escape rate of a record is the data set's; a record beyond the data
  // set's table takes the one the file holds, and failing that the maximum,
  // as a record without escape rate does when an input file is read.
  std::vector<double> escape(n + 1, 0.0);
  for (int k = 1; k <= n; ++k) {
    const TInputRecord& record = input.records[k - 1];
    run.PredSerial[k] = record.serial;
    run.PredTime[k] = record.time;
    run.PredRain[k] = record.rain;
    if (k - 1 < static_cast<int>(data.EscRate.size())) {
      escape[k] = data.EscRate[k - 1];
    } else {
      escape[k] = record.fileEscape.value_or(run.PredMaxEscape);
    }
  }

  // The true extremes, as the analysis compares them: times that rise and
  // then fall back a little are a time-sequence fault, not a lack of variation.
  double timeMax = n > 0 ? run.PredTime[1] : 0;
  double timeMin = timeMax;
  for (int k = 2; k <= n; ++k) {
    timeMax = std::max(timeMax, run.PredTime[k]);
    timeMin = std::min(timeMin, run.PredTime[k]);
  }
  if (timeMax - timeMin < 0.001) return StopRun(data, run, T::kNoTimeVariation);

  // The escape is relative to the maximum storage, and the head to the
  // porosity: neither may be zero.
  if (run.PredMaxStorage <= 0) return StopRun(data, run, T::kMaxStorage);
  if (data.Drainage && run.PredPorosity <= 0) return StopRun(data, run, T::kPorosity);

  const double maxStor = run.PredMaxStorage;
  const double initialRoom = maxStor - run.PredInitStorage;
  run.PredRecharge[1] = run.PredRain[1] - initialRoom;
  if (run.PredRecharge[1] >= 0) {
    run.PredStorage[1] = maxStor;
    run.PredDeficit[1] = 0;
  } else {
    run.PredRecharge[1] = 0;
    run.PredDeficit[1] = initialRoom - run.PredRain[1];
    run.PredStorage[1] = run.PredInitStorage + run.PredRain[1];
  }
  for (int k = 2; k <= n; ++k) {
    const double dt = run.PredTime[k] - run.PredTime[k - 1];
    if (dt <= 0) return StopRun(data, run, T::kTimeSequence);
    // Not limited: the storage may fall below 0, and the next escape is
    // then computed from that negative storage.
    const double escapeStep = escape[k] * dt * run.PredStorage[k - 1] / maxStor;
    run.PredRecharge[k] = run.PredRain[k] - (run.PredDeficit[k - 1] + escapeStep);
    if (run.PredRecharge[k] >= 0) {
      run.PredStorage[k] = maxStor;
      run.PredDeficit[k] = 0;
    } else {
      run.PredRecharge[k] = 0;
      run.PredDeficit[k] = run.PredDeficit[k - 1] + escapeStep - run.PredRain[k];
      run.PredStorage[k] = run.PredStorage[k - 1] - escapeStep + run.PredRain[k];
    }
  }
  return true;
}

void PredictionRouting(const TDMTevlora& data, TPredictionRun& run) {
  const int n = run.PredCount;
  if (n < 1) return;
  run.PredDischarge[1] = data.InitRunoff;
  // A runoff below -C would start with alpha at its floor.
  if (data.Values.AlphaC < 0 && -data.Values.AlphaC > run.PredDischarge[1])
    run.PredDischarge[1] = -data.Values.AlphaC * 1.1;
  run.PredLevel[1] = data.InitLevel;
  run.PredAlpha[1] = 0;
  for (int k = 2; k <= n; ++k) {
    double alpha = data.Values.AlphaA * run.PredDischarge[k - 1] + data.Values.AlphaC;
    if (alpha < 0.0001) alpha = 0.0001;
    run.PredAlpha[k] = alpha;
    const double f = std::exp(-alpha * (run.PredTime[k] - run.PredTime[k - 1]));
    run.PredDischarge[k] = run.PredDischarge[k - 1] * f + (1 - f) * run.PredRecharge[k];
    if (data.Drainage) {
      run.PredLevel[k] = run.PredLevel[k - 1] * f +
                         (1 - f) * run.PredRecharge[k] / (0.8 * run.PredPorosity * alpha);
      if (run.PredLevel[k] < 0) run.PredLevel[k] = 0;
    } else {
      // Water balance of the main reservoir, not limited.
      run.PredLevel[k] = run.PredLevel[k - 1] + run.PredRecharge[k] - run.PredDischarge[k];
    }
  }
}

namespace {

// The results file of the tables, naming `inputFileName` on its fifth line.
std::string PredictionResultsText(const TDMTevlora& data, const TPredictionRun& run,
                                  const std::string& inputFileName, TValueCheck& check) {
  TTextWriter out;
  out.Line(T::kResultsHeader);
  out.Line("");
  out.Line(data.Title1);
  out.Line(data.Title2);
  out << T::kInputFileUsed << inputFileName;
  out.EndLine();
  out.Line("");
  out << T::kMaxStorageLabel << check.Fixed(run.PredMaxStorage, 6, 2, "the maximum dead storage")
      << T::kStorageUnit;
  out.EndLine();
  out << T::kInitStorageLabel << check.Fixed(run.PredInitStorage, 6, 2, "the initial dead storage")
      << T::kStorageUnit;
  out.EndLine();
  out << T::kMaxEscapeLabel << check.Fixed(run.PredMaxEscape, 6, 2, "the maximum escape rate")
      << " " << run.PredUnitText;
  out.EndLine();
  out << T::kPorosityResultLabel << check.Fixed(run.PredPorosity * 100, 6, 2, "the porosity");
  out.EndLine();
  out.Line(T::kEquation);
  out.Line(T::kEquationF);
  if (run.LinearFunctionMark) {
    out.Line(data.Drainage ? T::kDrainageFunction : T::kRunoffFunction);
    out << T::kCoefficientB << check.Fixed(data.Values.AlphaA, 10, 5, "B") << T::kCoefficientF
        << check.Fixed(data.Values.AlphaC, 10, 5, "F");
    out.EndLine();
  }
  out.Line("");
  out.Line(data.Drainage ? T::kDrainageTitle : T::kRunoffTitle);
  const std::string dashes(64, '-');
  out.Line(dashes);
  out.Line(data.Drainage ? T::kDrainageColumns : T::kRunoffColumns);
  out.Line(T::kUnits);
  out.Line(dashes);
  for (int k = 1; k <= run.PredCount; ++k) {
    // Serial numbers up to 999 take four characters.
    const int serial = run.PredSerial[k];
    const int blanks = serial < 10 ? 3 : serial < 100 ? 2 : 1;
    out << std::string(blanks, ' ') << std::to_string(serial)
        << check.Column(run.PredTime[k], 10, 2, "the time", k)
        << check.Column(run.PredRain[k], 10, 2, "the rain", k)
        << check.Column(run.PredRecharge[k], 10, 2, "the recharge", k)
        << check.Column(run.PredAlpha[k], 10, 3, "the alpha", k)
        << check.Column(run.PredDischarge[k], 10, 2, data.Drainage ? "the discharge" : "the runoff",
                        k)
        << check.Column(run.PredLevel[k], 10, 2, data.Drainage ? "the head" : "the storage", k);
    out.EndLine();
  }
  out.Line(std::string(63, '-'));
  return out.Text();
}

}  // namespace

bool WritePredictionResults(TDMTevlora& data, const TPredictionRun& run) {
  const std::string outFileName = ChangeFileExt(data.FileName, ".out");
  // The data set is named by its ".inp" file from now on, whatever the
  // extension it was saved under, and also when the writing fails.
  data.FileName = ChangeFileExt(outFileName, ".inp");
  TValueCheck check;
  const std::string text = PredictionResultsText(data, run, data.FileName, check);
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

void RunPrediction(TDMTevlora& data, TPredictionRun& run) {
  run.PredictTimeError = false;
  if (!PredictionRecharge(data, run)) return;
  PredictionRouting(data, run);
  if (!WritePredictionResults(data, run)) run.PredictTimeError = true;
}
