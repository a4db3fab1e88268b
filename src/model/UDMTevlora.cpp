#include "UDMTevlora.h"

#include <filesystem>

#include "TextFile.h"

namespace T = DataModuleTexts;

std::string InputFileNotOpenedText(const std::string& fileName) {
  return "The file \"" + fileName + "\"could not be opened. It may be " +
         "damaged or in use by another program.";
}

std::string CorruptRealsText(const std::string& fileName) {
  return "Real numbers in the inputfile \"" + fileName + "\" are corrupt";
}

void TDMTevlora::DataModuleCreate() {
  std::error_code error;
  const auto current = std::filesystem::current_path(error);
  FileName = error ? std::string() : current.string();
}

void TDMTevlora::ProgramError(const std::string& text) const {
  Dialogs->Message(std::string(T::kProgramError) + text);
}

bool TDMTevlora::ConfirmYesNo(const std::string& question) {
  return Dialogs->ConfirmYesNo(question);
}

// ---------------------------------------------------------------------------
// Drainage parameter file

std::string DrainageParameterText(const TProgramValues& v) {
  const double values[6] = {v.DrainKa, v.DrainKb, v.DrainD, v.DrainU, v.DrainP, v.DrainL};
  TTextWriter out;
  for (int i = 0; i < 6; ++i) out.Line(std::string(T::kParLabels[i]) + Format6_2(values[i]));
  return out.Text();
}

bool WriteDrainageParameters(const std::string& parFileName, const TProgramValues& values) {
  return SaveTextFileSafely(parFileName, DrainageParameterText(values));
}

void ReadDrainageParameters(const std::string& parFileName, TProgramValues& v) {
  const auto text = LoadTextFile(parFileName);
  if (!text) throw TIOError("The file \"" + parFileName + "\" could not be read");
  TTextReader in(*text, parFileName);
  double values[6];
  for (double& value : values) {
    in.SkipChars(53);
    value = in.ReadReal();
    in.SkipLine();
  }
  v.DrainKa = values[0];
  v.DrainKb = values[1];
  v.DrainD = values[2];
  v.DrainU = values[3];
  v.DrainP = values[4];
  v.DrainL = values[5];
}

std::string ParOverInputText(const std::string& fileName) {
  return "The input data were not saved: \"" + fileName +
         "\" is the name of their drainage parameter file. Save them under a name ending in "
         ".inp.";
}

std::string ParNotUsedText(const std::string& parFileName, const std::string& fault) {
  return "The drainage parameter file \"" + parFileName + "\" " + fault +
         "; the input file was read without it.";
}

// ---------------------------------------------------------------------------
// Input file

bool ReadDrainageMark(TTextReader& in) {
  in.ReadChars(8);
  return in.ReadChars(3) == "dra";
}

bool InputFileSaysDrainage(const std::string& text) {
  TTextReader in(text);
  in.SkipLine();
  return in.ReadChars(4) == " Pre" && ReadDrainageMark(in);
}

std::string ReadLastColumn(TTextReader& in) {
  // At most 12 characters, and then the rest of a number that goes on
  // beyond them: "   1.5000E+002" is 150, not 1.5.
  std::string rest = in.ReadChars(12);
  if (!rest.empty() && rest.back() != ' ' && rest.back() != '\t') {
    for (std::string more = in.ReadChars(1); !more.empty() && more != " " && more != "\t";
         more = in.ReadChars(1)) {
      rest += more;
    }
  }
  return Trim(rest);
}

std::optional<std::string> TDMTevlora::InputFileText() const {
  TTextWriter out;
  out.Line(T::kInputHeader);
  if (RunKind == " Ana") {
    out.Line(T::kAnalysisLine);
  } else {
    out.Line(Drainage ? T::kPredictionDrainageLine : T::kPredictionRunoffLine);
  }
  out.Line("");
  out.Line(Title1);
  out.Line(Title2);
  out.Line("");
  out.Line(T::kFileNameLabel + FileName);
  out.Line(T::kMaxStorageLabel + FormatInputNumber(MaxStorage, 8));
  out.Line(T::kInitStorageLabel + FormatInputNumber(InitStorage, 8));
  out.Line(T::kMaxEscapeLabel + FormatInputNumber(MaxEscape, 8));
  if (Analysis) {
    out.Line("");
    const std::string dashes = " " + std::string(50, '-');
    out.Line(dashes);
    out.Line(T::kAnalysisColumns);
    out.Line(dashes);
  } else {
    out.Line(T::kLinearFunctionLine);
    out.Line(T::kAlphaALabel + FormatAlphaCoefficient(Values.AlphaA));
    out.Line(T::kAlphaCLabel + FormatAlphaCoefficient(Values.AlphaC));
    out.Line(T::kPorosityLabel + FormatFixed(Porosity >= 1 ? Porosity : Porosity * 100, 7, 2));
    out.Line(T::kInitRunoffLabel + FormatInputNumber(InitRunoff, 8));
    out.Line(T::kInitLevelLabel + FormatInputNumber(InitLevel, 8));
    out.Line("");
    const std::string dashes = " " + std::string(41, '-');
    out.Line(dashes);
    out.Line(T::kPredictionColumns);
    out.Line(dashes);
  }

  // Record arrays shorter than the count mean a corrupt data set: no text,
  // so that nothing is written and the file on disk stays as it was.
  const auto n = static_cast<std::size_t>(std::max(NrOfData, 0));
  if (Time.size() < n || Rain.size() < n || EscRate.size() < n || Removed.size() < n ||
      (Analysis && Runoff.size() < n)) {
    return std::nullopt;
  }
  int serial = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (Removed[i]) continue;
    ++serial;
    out << FormatFixed(serial, 5, 0) << " " << FormatInputNumber(Time[i], 12) << " "
        << FormatInputNumber(Rain[i], 10) << " " << FormatInputNumber(EscRate[i], 10);
    if (Analysis) out << " " << FormatInputNumber(Runoff[i], 10);
    out.EndLine();
  }
  return out.Text();
}

bool TDMTevlora::WriteInputFile() {
  const std::optional<std::string> text = InputFileText();
  if (!text) {
    ProgramError(CorruptRealsText(FileName));
    return false;
  }

  // The parameter file must not take the input file's place.
  if (ParLoaded && SameFile(ChangeFileExt(FileName, ".par"), FileName)) {
    Dialogs->Message(ParOverInputText(FileName));
    return false;
  }
  if (!SaveTextFileSafely(FileName, *text)) {
    Dialogs->Message(InputFileNotOpenedText(FileName) + WriteFailureReason());
    return false;
  }
  if (ParLoaded) {
    const std::string parFileName = ChangeFileExt(FileName, ".par");
    if (!WriteDrainageParameters(parFileName, Values)) {
      Dialogs->Message(InputFileNotOpenedText(parFileName) + WriteFailureReason());
      return false;
    }
  }
  return true;
}

bool TDMTevlora::ReadInputFile() {
  // Read into a copy, values included, so that a failure changes nothing.
  TDMTevlora result = *this;
  result.Dialogs = Dialogs;
  if (!ReadInputFileInto(result)) return false;
  TUserDialogs* dialogs = Dialogs;
  *this = std::move(result);
  Dialogs = dialogs;
  return true;
}

namespace {
// As many records as the input tab takes; a file with more is refused before
// it can fill the memory.
constexpr int kMaxInputRecords = 1500;
// Far more than any file of that many records: 1500 lines of 10 kB.
constexpr std::size_t kMaxInputBytes = std::size_t{16} << 20;

std::string TooManyRecordsText(const std::string& fileName) {
  return "The input file \"" + fileName + "\" holds more than " + std::to_string(kMaxInputRecords) +
         " records; the program takes at most " + std::to_string(kMaxInputRecords) + ".";
}
}  // namespace

// Reads FileName into `d` (a copy of this data module).
bool TDMTevlora::ReadInputFileInto(TDMTevlora& d) const {
  const auto text = LoadTextFileStart(FileName, kMaxInputBytes);
  if (!text) {
    // A folder is no damaged file: the message says what it is.
    const std::string reason = ReadFailureReason();
    Dialogs->Message(InputFileNotOpenedText(FileName) + (reason == " (is a folder)" ? reason : ""));
    return false;
  }
  if (text->size() > kMaxInputBytes) {
    Dialogs->Message(TooManyRecordsText(FileName));
    return false;
  }
  TTextReader in(*text, FileName);
  in.SkipLine();
  d.RunKind = in.ReadChars(4);
  if (d.RunKind == " Ana") {
    in.SkipLine();
  } else if (d.RunKind == " Pre") {
    d.Drainage = ReadDrainageMark(in);
    in.SkipLine();
  }
  in.SkipLine();
  d.Title1 = in.ReadLine();
  d.Title2 = in.ReadLine();
  in.SkipLines(2);
  double* parameters[3] = {&d.MaxStorage, &d.InitStorage, &d.MaxEscape};
  for (double* value : parameters) {
    in.SkipChars(23);
    *value = in.ReadReal();
    in.SkipLine();
  }
  bool escapeWarned = false;

  if (d.RunKind == " Ana") {
    d.Analysis = true;
    d.Drainage = false;
    in.SkipLines(4);
  } else {
    d.Analysis = false;
    d.AlphaKind = in.ReadChars(4);
    in.SkipLine();
    const std::string tagA = in.ReadChars(3);
    in.SkipChars(14);
    d.Values.AlphaA = in.ReadReal();
    in.SkipLine();
    const std::string tagC = in.ReadChars(3);
    in.SkipChars(14);
    d.Values.AlphaC = in.ReadReal();
    in.SkipLine();
    d.AlphaMissing = false;
    if (tagA == " A1") {
      d.AlphaMissing = true;
      Dialogs->Message(T::kForeignAlpha);
      in.SkipLines(2);
    }
    if (tagC == " B ") {
      d.AlphaMissing = true;
      Dialogs->Message(T::kForeignAlpha);
      if (!d.Drainage) in.SkipLine();
    }
    in.SkipChars(25);
    d.Porosity = in.ReadReal();
    in.SkipLine();
    in.SkipChars(22);
    d.InitRunoff = in.ReadReal();
    in.SkipLine();
    in.SkipChars(22);
    d.InitLevel = in.ReadReal();
    in.SkipLine();
    if (tagA == " A1") in.SkipLine();
    std::string fourth;
    for (int i = 0; i < 4; ++i) {
      fourth = in.ReadChars(8);
      in.SkipLine();
    }
    if (fourth == " Serial ") in.SkipLine();
  }

  // Records. A corrupt one abandons the whole open.
  d.SerialNr.clear();
  d.Time.clear();
  d.Rain.clear();
  d.EscRate.clear();
  d.Removed.clear();
  d.Runoff.resize(0);
  int n = 0;
  try {
    while (!in.SeekEof()) {
      if (n == kMaxInputRecords) {
        Dialogs->Message(TooManyRecordsText(FileName));
        return false;
      }
      ++n;
      const int serial = in.ReadInteger();
      const double time = in.ReadReal();
      const double rain = in.ReadReal();
      double escape = 0;
      double runoff = n - 1 < static_cast<int>(Runoff.size()) ? Runoff[n - 1] : 0.0;
      bool useMaxEscape = false;
      if (d.Analysis) {
        escape = in.ReadReal();
        const std::string rest = ReadLastColumn(in);
        in.SkipLine();
        if (!rest.empty()) {
          runoff = StringToFloat(rest);
        } else {
          runoff = escape;
          useMaxEscape = true;
        }
      } else {
        const std::string rest = ReadLastColumn(in);
        in.SkipLine();
        if (!rest.empty()) {
          escape = StringToFloat(rest);
        } else {
          useMaxEscape = true;
        }
      }
      if (useMaxEscape) {
        escape = d.MaxEscape;
        if (!escapeWarned) {
          escapeWarned = true;
          Dialogs->Message(T::kEscapeWarning);
        }
      }
      d.SerialNr.push_back(serial);
      d.Time.push_back(time);
      d.Rain.push_back(rain);
      d.EscRate.push_back(escape);
      d.Runoff.resize(std::max<std::size_t>(d.Runoff.size(), n));
      d.Runoff[n - 1] = runoff;
      d.Removed.push_back(false);
      d.NrOfData = n;
    }
  } catch (const TIOError&) {
    ProgramError(CorruptRealsText(FileName));
    return false;
  }
  d.NrOfData = n;
  d.Runoff.resize(n);

  // The runs do not use the drainage parameters: a .par that cannot be read
  // is reported and left aside, and the input file is read all the same.
  const std::string parFileName = ChangeFileExt(FileName, ".par");
  std::error_code error;
  if (std::filesystem::exists(parFileName, error)) {
    if (!std::filesystem::is_regular_file(parFileName, error)) {
      Dialogs->Message(ParNotUsedText(parFileName, "is not a file"));
      return true;
    }
    try {
      ReadDrainageParameters(parFileName, d.Values);
    } catch (const TIOError& failure) {
      Dialogs->Message(
          ParNotUsedText(parFileName, std::string("is damaged (") + failure.what() + ")"));
      return true;
    }
    d.Drainage = true;
    d.ParLoaded = true;
  }
  return true;
}
