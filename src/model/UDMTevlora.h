// The data module: a data set with its files and the values read and written
// with them. A session holds one for its runs; readers that only look at a
// file make one of their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "UserDialogs.h"

using DataArrayR = std::vector<double>;
using DataArrayI = std::vector<int>;
using LineSet = std::vector<std::string>;
using RemoveSet = std::vector<bool>;

// The values that outlive a run: the alpha coefficients of the input tab, the
// drainage parameters of the calculator, and R square of the last analysis.
// The data module owns them, as it reads and writes them with its files.
struct TProgramValues {
  double AlphaA = 0;  // coefficient A (B) of alpha = A * runoff + C
  double AlphaC = 0;  // constant C (F)
  double DrainKa = 0, DrainKb = 0, DrainD = 0, DrainU = 0, DrainP = 0, DrainL = 0;
  double RSquare = 0;  // coefficient of explanation of the last analysis
};

// Texts of the data module, kept together so they are easy to check.
namespace DataModuleTexts {
inline constexpr const char* kInputHeader = " Input data for Tevlora program";
inline constexpr const char* kAnalysisLine = " Analysis and reconstruction";
inline constexpr const char* kPredictionDrainageLine = " Prediction drainage";
inline constexpr const char* kPredictionRunoffLine = " Prediction runoff";
inline constexpr const char* kFileNameLabel = " Filename: ";
inline constexpr const char* kMaxStorageLabel = " Maximum dead storage: ";
inline constexpr const char* kInitStorageLabel = " Initial dead storage: ";
inline constexpr const char* kMaxEscapeLabel = " Max.escape/time unit: ";
inline constexpr const char* kAnalysisColumns =
    "  Serial    T i m e   R a i n    Esc. rate  Run-off";
inline constexpr const char* kLinearFunctionLine =
    " Linear reservoir function : Alpha = A * Runoff + C";
inline constexpr const char* kAlphaALabel = " A coefficient : ";
inline constexpr const char* kAlphaCLabel = " Value of C is : ";
inline constexpr const char* kPorosityLabel = " Effective porosity (%) : ";
inline constexpr const char* kInitRunoffLabel = " Initial runoff rate : ";
inline constexpr const char* kInitLevelLabel = " Initial water level : ";
inline constexpr const char* kPredictionColumns = " Serial    T i m e   Rainfall  Escape rate";
inline constexpr const char* kProgramError = "A program error occurred.";
inline constexpr const char* kEscapeWarning = "Please check the escape rate data";
inline constexpr const char* kForeignAlpha =
    "This input file does not belong to TevloraT. The Alfa charcateristics need to be "
    "redefined.";
inline constexpr const char* kMissing = "missing";
inline constexpr const char* kParLabels[6] = {
    " Hydraulic conductivity above drain level (Ka, m/day)",
    " Hydraulic conductivity below drain level (Kb, m/day)",
    " Depth of soil layer below drain level (D=D1-Dd, m)  ",
    " Wet perimeter of drain or ditch (U, m)              ",
    " Drainable (effective) porosity of top soil (P, %)   ",
    " Drain spacing (L, m)                                ",
};
}  // namespace DataModuleTexts

// "The file "X"could not be opened. It may be damaged or in use by another program."
std::string InputFileNotOpenedText(const std::string& fileName);
// "Real numbers in the inputfile "X" are corrupt"
std::string CorruptRealsText(const std::string& fileName);

class TDMTevlora {
 public:
  // Fields, in the declaration order of the program.
  std::string FileName;
  std::string OutFileName;
  std::string Title1;
  std::string Title2;
  std::string RunKind;        // " Ana" or " Pre"
  std::string AlphaKind;      // first four characters of the alpha-function line
  std::string ResultsMarker;  // "PRED", "RECO", ...
  DataArrayI SerialNr;
  DataArrayR SeriesF;
  DataArrayR EscRate;
  DataArrayR SeriesT;
  DataArrayR SeriesA;
  DataArrayR SeriesB;
  DataArrayR SeriesC;
  DataArrayR SeriesD;
  DataArrayR Time;
  DataArrayR Rain;
  DataArrayR Runoff;
  double MaxStorage = 0;
  double InitStorage = 0;
  double MaxEscape = 0;
  double InitRunoff = 0;
  double InitLevel = 0;
  double Porosity = 0;
  LineSet OutLines;
  RemoveSet Removed;
  int NrOfData = 0;
  int OutLineCount = 0;
  bool Analysis = false;
  bool Drainage = false;
  bool RunAborted = false;
  bool AlphaMissing = false;
  bool ParLoaded = false;
  TProgramValues Values;

  // Where messages and questions go (never null).
  TUserDialogs* Dialogs = &SilentDialogs();

  // Creation: FileName holds the current directory; all else starts empty.
  void DataModuleCreate();

  // Shows "A program error occurred." followed by `text`. The caller then
  // abandons its command; the program goes on.
  void ProgramError(const std::string& text) const;
  bool ConfirmYesNo(const std::string& question);

  // The input file (.inp), and the drainage parameter file (.par) beside it.
  // ReadInputFile either reads the whole file (and a .par beside it) or
  // leaves the data set exactly as it was: it returns false after a
  // could-not-be-opened message or a corrupt record, and throws TIOError,
  // again with the data set unchanged, for an unreadable parameter number.
  // A .par beside it that cannot be read is reported and left aside.
  bool ReadInputFile();
  // Returns false when nothing could be written (message shown; the old file
  // stays intact).
  bool WriteInputFile();
  // The text WriteInputFile writes for this data set, without writing it;
  // nothing when the record arrays are shorter than NrOfData.
  std::optional<std::string> InputFileText() const;

  // Results files (.out) read back for the output tab and the graphs.
  void LoadOutputLines(const std::string& fileName);
  void InspectOutputFile();
  void LoadGraphSeries(int graphKind);

 private:
  bool ReadInputFileInto(TDMTevlora& target) const;
};

// "The input data were not saved: "X.par" is the name of their drainage
// parameter file. ..."
std::string ParOverInputText(const std::string& fileName);
// "The drainage parameter file "X" <fault>; the input file was read without it."
std::string ParNotUsedText(const std::string& parFileName, const std::string& fault);

class TTextReader;
// Line 2 of an input file as the reader takes it, from just after " Pre":
// skips 8 characters and tells whether the next 3 are "dra".
bool ReadDrainageMark(TTextReader& in);
// The run mode line of the input file `text` names a drainage prediction.
bool InputFileSaysDrainage(const std::string& text);
// The last column of a record line: the number that starts within the next
// 12 characters, read whole; empty when there is none.
std::string ReadLastColumn(TTextReader& in);

// The drainage parameter file: six lines of a 53-character label and "%6.2f".
std::string DrainageParameterText(const TProgramValues& values);
// Writes DrainKa ... DrainL to `parFileName`; false when it cannot be written.
bool WriteDrainageParameters(const std::string& parFileName, const TProgramValues& values);
// Reads the six values into DrainKa ... DrainL of `values`; throws TIOError
// and then leaves them as they were.
void ReadDrainageParameters(const std::string& parFileName, TProgramValues& values);
