// tevlora-batch: the program's runs without a window, for users who process
// many catchments or script their studies.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BatchCommands.h"
#include "TextFile.h"

namespace {
constexpr const char* kUsage =
    "usage: tevlora-batch COMMAND ...\n"
    "\n"
    "  run [--summary] [--calibrate-until T] [--jobs N] FILE...\n"
    "                does for each saved input file (.inp) what Save/Run does after\n"
    "                saving: the analysis or the prediction its second line names,\n"
    "                writing the results file (.out) and, for an analysis, the trend\n"
    "                file (.dat) beside it. Messages and progress lines go to stderr.\n"
    "                --summary also prints to stdout a CSV header and one line per\n"
    "                file: file,records,A,C,SD,RSquare,NSE,KGE,PBIAS,RMSE,PeakError,\n"
    "                seconds (empty fields for a prediction or a run that stopped).\n"
    "                --calibrate-until T fits A and C to the records up to time T only\n"
    "                (the calibration period); the results file covers all records, and\n"
    "                the summary adds NSE, KGE, PBIAS, RMSE and PeakError of the\n"
    "                calibration (cal...) and the validation records (val...).\n"
    "      [--csv TABLE.csv [--force]] [--no-files]\n"
    "                --csv also writes the results table of the run (one file) at\n"
    "                full precision: the titles, parameters and measures in lines\n"
    "                starting with #, and the date each record starts on when the\n"
    "                times came from dates. --no-files (with --summary or --csv)\n"
    "                runs an analysis without writing its results or trend file.\n"
    "                --jobs N runs up to N files at once (default: the number of\n"
    "                cores, shared out among them); messages, summary lines and\n"
    "                results are those of running the files one by one, in the\n"
    "                order given. Files that write the same results file run one\n"
    "                after the other.\n"
    "  calibrate FILE.inp [--max-storage FROM:TO:STEP]\n"
    "            [--initial-storage FROM:TO:STEP|--initial-fraction F1,F2,...]\n"
    "            [--calibrate-until T] [--profile PROFILE.csv] [--map PROFILE.png]\n"
    "            [-o BEST.inp] [--force] [--summary]\n"
    "                the exact optimum over the maximum and the initial dead storage\n"
    "                (mm; the initial one also as fractions of the maximum) and A and\n"
    "                C: the least sum of squares over every pair of the ranges, the\n"
    "                first pair winning a tie. Default ranges suit the records (they\n"
    "                are printed). Writes the results and trend files of the best\n"
    "                pair as run does for an input file holding those storages: the\n"
    "                file -o writes (never over an existing file without --force),\n"
    "                or, without -o, FILE.out and FILE.dat. --profile writes one CSV\n"
    "                row per pair (Smax,S0,A,C,SumSq,RSquare,NSE,KGE); --map draws\n"
    "                the profile; both make every pair's own search (slower).\n"
    "  drain KA KB D U P L\n"
    "                the drainage calculator: prints B and F of Alfa = B.Q + F, and\n"
    "                x, Fx and the equivalent depth d, from the conductivities above\n"
    "                and below drain level (m/day), the depth below drain level (m),\n"
    "                the wet perimeter (m), the drainable porosity (%) and the drain\n"
    "                spacing (m). A failed check prints its message; exit status 1.\n"
    "  graph FILE.out KIND [--bw] [--style classic|report] [--size WxH] [--dpi N]\n"
    "        [-o FILE.bmp|.png|.svg|.pdf] [--force]\n"
    "                draws one graph of a results file as the 623 x 465 bitmap of\n"
    "                the graphics tab: for analysis results KIND 1 runoff in time,\n"
    "                3 rain/recharge, 7 observed-calculated, 8 discharge-recharge\n"
    "                (with the trend file .dat beside it), 9 recharge-runoff in\n"
    "                time, 10 the report hydrograph (runoff observed and\n"
    "                calculated, rain and recharge as bars from the top, NSE and\n"
    "                KGE); for prediction results 2 runoff in time, 4\n"
    "                rain/recharge, 5 water table or reservoir storage. --bw draws\n"
    "                it in black and white. Default output FILE_graphKIND.bmp\n"
    "                (.png in the report style); a name ending in .png writes a\n"
    "                PNG, .svg an SVG, .pdf a PDF of one page. --style report\n"
    "                draws a white, antialiased figure with units from the data\n"
    "                and drawn legends, 16 x 12 cm at 300 dpi unless --size (in\n"
    "                pixels) or --dpi say otherwise; --size or --dpi alone scale\n"
    "                the classic graph. A graph kind that does not fit the file:\n"
    "                exit 1. An existing picture is replaced only with --force,\n"
    "                any other existing file never: exit 1.\n"
    "  map FILE.inp [-o MAP.png|.bmp|.svg|.pdf] [--bw] [--step K] [--zoom]\n"
    "      [--style classic|report] [--size WxH] [--dpi N] [--csv GRID.csv] [--force]\n"
    "                the fit map of A and C of an analysis input file: the sum of\n"
    "                squares of every K-th trial of the search each way (K chosen\n"
    "                by the number of records unless given; 1 is every trial) as\n"
    "                a colour scale of R square, with the optimum and the outline\n"
    "                of the approximate 95 % joint confidence region. --zoom maps\n"
    "                every trial around the optimum; --bw draws in black and\n"
    "                white; --style, --size and --dpi as for graph; --csv also\n"
    "                writes the grid as A,C,SumSq,RSquare rows.\n"
    "                Default output FILE_map.png. Data that do not allow an\n"
    "                analysis: the run's message, exit status 1. Existing files\n"
    "                are replaced only with --force (a picture only by a picture).\n"
    "  import TABLE.csv [-o FILE.inp] [--prediction|--drainage] [--max-storage X]\n"
    "         [--initial-storage Y] [--max-escape Z] [--alpha-a A] [--alpha-c C]\n"
    "         [--initial-runoff Q0] [--initial-level H0] [--porosity P]\n"
    "         [--title1 TEXT] [--columns ROLE=NAME,...] [--units ROLE=UNIT,...]\n"
    "         [--day-first|--month-first] [--irregular] [--area KM2]\n"
    "         [--time-unit minutes|hours|days] [--comment MARK] [--missing CODE]\n"
    "         [--window FROM TO] [--fill-gaps K] [--step day|K]\n"
    "         [--runoff TABLE [--runoff-columns ROLE=NAME,...]] [--force]\n"
    "                makes an input file (default TABLE.inp) of a table of measured\n"
    "                records: comma, semicolon, tab or blank separated, text and #\n"
    "                lines before the header skipped, a header naming time (a\n"
    "                number) or date (or year, month, day, with an hour 1-24 or\n"
    "                0-23), rain, escape (optional) and, for an analysis, runoff;\n"
    "                --columns names them (or gives their numbers) where the header\n"
    "                does not. Units in the header, in a row under it or given\n"
    "                with --units (mm, 0.1mm, in, mm/h, mm/d, l/s, m3/s, cfs, ML/d)\n"
    "                are converted to mm per record; volumes need --area. Dates\n"
    "                become hours, or days when every step is whole days. Missing\n"
    "                values (empty, NA, nan, -999, -9999, --missing CODE) are refused\n"
    "                with their rows unless --window FROM TO leaves them out or\n"
    "                --fill-gaps K fills runs of at most K. --step adds the records up\n"
    "                to days or K hours. --runoff joins the runoff of a second table\n"
    "                on the dates. More than 1500 records are refused with the date\n"
    "                of record 1500. A step that differs from the usual one is\n"
    "                refused without --irregular. What was taken, converted and left\n"
    "                unused is printed. Without an escape column every record gets\n"
    "                --max-escape; with one, --max-escape defaults to its largest\n"
    "                value. A refused table: its message, exit status 2.\n"
    "  export FILE.out [-o TABLE.csv] [--force]\n"
    "                writes the results table of an analysis or a prediction as\n"
    "                CSV (default FILE_results.csv), with the units in the header.\n"
    "                import and export never overwrite a file without --force.\n"
    "  --help        shows this text.\n"
    "\n"
    "Exit status: 0 when every results file was written, 1 when a run stopped with\n"
    "its message, 2 for an unreadable file or bad usage.\n";

struct TCommand {
  const char* name;
  int (*handler)(const TArguments&);
};

const TCommand kCommands[] = {
    {"run", BatchRun},
    {"drain", BatchDrain},
    {"graph", BatchGraph},
    {"map", BatchMap},
    {"import", BatchImport},
    {"export", BatchExport},
    {"calibrate", BatchCalibrate},
};
}  // namespace

void TStderrDialogs::Message(const std::string& text) {
  ++MessageCount;
  PrintMessage(text);
}

bool TStderrDialogs::ConfirmYesNo(const std::string& question) {
  PrintMessage(question + " No");
  return false;
}

void TStderrDialogs::Progress(const std::string& line) {
  PrintMessage(line);
}

namespace {
// What the command printed must have reached standard output: a full disk
// or a closed pipe is a failure like any other write.
int CheckedStatus(int status) {
  if (const auto failure = StandardOutputFailure()) {
    PrintMessage(*failure);
    return std::max(status, 2);
  }
  return status;
}
}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    WriteStandardOutput(kUsage);
    return CheckedStatus(0);
  }
  const TArguments arguments(argv + 2, argv + argc);
  for (const auto& entry : kCommands) {
    if (command == entry.name) return CheckedStatus(entry.handler(arguments));
  }
  std::fprintf(stderr, "tevlora-batch: unknown command \"%s\"\n\n%s",
               PrintableText(command).c_str(), kUsage);
  return 2;
}
