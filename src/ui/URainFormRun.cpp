// Open input and Save/Run: from the file to the tab, and from the tab to the
// input file, the run and its results.
#include <QFileInfo>
#include <filesystem>

#include "FitMeasures.h"
#include "InputCheck.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UPrediction.h"
#include "URainForm.h"
#include "URainRun.h"
#include "URunModel.h"

namespace T = RainFormTexts;

namespace {
// Puts the data set's record count back when a save stops before writing.
class TCountGuard {
 public:
  explicit TCountGuard(TDMTevlora& data) : data_(data), count_(data.NrOfData) {}
  ~TCountGuard() {
    if (!committed_) data_.NrOfData = count_;
  }
  void Commit() { committed_ = true; }

 private:
  TDMTevlora& data_;
  int count_;
  bool committed_ = false;
};

// The program's message, then the first cell it could not read (row and
// column counted from 1, as the user counts them).
std::string NotAllRealText(int row, int column, const QString& cell) {
  static const char* const names[] = {"Time", "Rain", "Max. escape rate", "Runoff"};
  const QString shown = cell.isEmpty() ? QStringLiteral("empty") : '"' + cell + '"';
  return QStringLiteral("%1 (row %2, column %3 \"%4\": %5)")
      .arg(QString::fromUtf8(T::kNotAllReal))
      .arg(row + 1)
      .arg(column + 1)
      .arg(QString::fromUtf8(names[column]), shown)
      .toStdString();
}
}  // namespace

// ---------------------------------------------------------------------------
// Open input

void TRainForm::InputOpenActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    HideCompanion(alfaForm_);
    d.ParLoaded = false;
    QString chosen;
    if (!RunFileDialog(InputOpenDialog, chosen)) {
      Message(T::kNoInputSelected);
      return;
    }
    d.FileName = LocalFileName(chosen);
    if (!FileExists(d.FileName)) {
      Message(T::kFileMissing);
      return;
    }
    if (!d.ReadInputFile()) return;
    // Nothing of an earlier file stays behind: a prediction has no runoff of
    // its own, and the grid forgets every cell it held.
    if (!d.Analysis) d.Runoff.assign(d.Runoff.size(), 0.0);
    StringGrid1->ForgetRowsFrom(0);
    fileIsAnalysis_ = d.Analysis;
    // A parameter file beside an analysis belongs to no drainage prediction:
    // it neither makes the data set one nor is written again.
    if (d.Analysis) {
      d.ParLoaded = false;
      d.Drainage = false;
    }
    // Drainage parameters beside the file: the calculator shows them.
    if (DrainageLayoutWithParameters()) ShowCompanion(alfaForm_);

    NrOfDataEdit->setText(QString::number(d.NrOfData));
    AlfaMemo->setVisible(d.Drainage);
    AlfaButton->setVisible(d.Drainage);
    ShowFileName();
    InputImage->hide();
    HideComment();
    Title1Edit->setText(FileText(d.Title1));
    Title2Edit->setText(FileText(d.Title2));
    // Long titles show from their beginning.
    for (QLineEdit* edit : {Title1Edit, Title2Edit}) edit->setCursorPosition(0);
    NrOfDataEdit->setText(QString::number(d.NrOfData));
    MaxStorEdit->setText(CellText(d.MaxStorage));
    InitStorEdit->setText(CellText(d.InitStorage));
    EscapeEdit->setText(CellText(d.MaxEscape));
    GridHasData = true;
    ColourGraph = true;
    SetDialogDirs(DirectoryOf(d.FileName));
    // A file just opened was not switched from an analysis by the user.
    AnalysisOutFound = false;
    ShowDataSet();
  });
}

void TRainForm::ShowFileName() {
  FileNameEdit->setText(QtFileName(session_.Data.FileName));
  // A long name shows from its beginning.
  FileNameEdit->setCursorPosition(0);
  FileNameEdit->show();
  FileNameLabel->show();
}

// ---------------------------------------------------------------------------
// Save / Run

bool TRainForm::AskInputFileName() {
  TDMTevlora& d = session_.Data;
  SaveAborted = false;
  QString chosen;
  if (!RunFileDialog(InputSaveDialog, chosen)) {
    SaveAborted = true;
    return false;
  }
  d.FileName = LocalFileName(chosen);
  if (FileExists(d.FileName)) return d.ConfirmYesNo(T::kOverwrite);
  return true;
}

void TRainForm::InputSaveActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    HideCompanion(alfaForm_);
    // Every field that the save reads is checked before the file name is
    // asked for, and all that fail are named at once.
    const std::string problems = ShownFieldProblems();
    if (!problems.empty()) {
      Message(problems + "\n" + T::kNotSaved);
      return;
    }
    if (!AskInputFileName() || SaveAborted) {
      Message(T::kNotSaved);
      return;
    }
    d.Title1 = Title1Edit->text().toStdString();
    d.Title2 = Title2Edit->text().toStdString();

    TCountGuard countGuard(d);
    // Every row the grid shows is visited, and only those: hidden cells
    // never reach the file.
    const int rows = StringGrid1->RowCount();
    const int m = std::max({rows, d.NrOfData, BaseCount});
    ResizeRecords(m + 1);
    const bool analysis = d.Analysis;
    std::vector<int> kept;
    bool rowLeftOut = false;
    d.NrOfData = rows;
    for (int r = 0; r < rows; ++r) {
      const QString time = StringGrid1->Cells(0, r);
      const QString rain = StringGrid1->Cells(1, r);
      const QString escape = StringGrid1->Cells(2, r);
      const bool complete = analysis ? !rain.isEmpty() && !escape.isEmpty() : !rain.isEmpty();
      if (time.isEmpty() || !complete) {
        d.Removed[r] = true;
        --d.NrOfData;
        rowLeftOut = true;
        continue;
      }
      const auto timeValue = TryStringToFloat(time.toStdString());
      const auto rainValue = TryStringToFloat(rain.toStdString());
      const auto escapeValue = TryStringToFloat(escape.toStdString());
      std::optional<double> runoffValue = 0.0;
      if (analysis) runoffValue = TryStringToFloat(StringGrid1->Cells(3, r).toStdString());
      if (!timeValue || !rainValue || !escapeValue || !runoffValue) {
        RestoreDecimalSeparator();
        const int column = !timeValue ? 0 : !rainValue ? 1 : !escapeValue ? 2 : 3;
        Message(NotAllRealText(r, column, StringGrid1->Cells(column, r)));
        return;
      }
      d.Time[r] = *timeValue;
      d.Rain[r] = *rainValue;
      d.EscRate[r] = *escapeValue;
      if (analysis) d.Runoff[r] = *runoffValue;
      d.Removed[r] = false;
      kept.push_back(r);
    }
    RestoreDecimalSeparator();

    const QString countText = NrOfDataEdit->text().trimmed();
    bool countOk = false;
    const int typed = countText.toInt(&countOk);
    if (!countOk) {
      throw TIOError("'" + NrOfDataEdit->text().toStdString() + "' is not a valid integer value");
    }

    // The check covers every row that will be written (left-out rows are
    // skipped by it).
    d.NrOfData = rows;
    if (!InputCheck(d)) {
      Message(T::kInputErrors);
      return;
    }
    TypedCount = typed;

    // What the fields show is what is written.
    if (!CheckField(MaxStorEdit, d.MaxStorage, RuleOf(MaxStorEdit)) ||
        !CheckField(InitStorEdit, d.InitStorage, RuleOf(InitStorEdit))) {
      return;
    }
    if (!analysis) {
      session_.Data.Values.AlphaA = StringToFloat(A1coeffEdit->text().toStdString());
      session_.Data.Values.AlphaC = StringToFloat(B1valueEdit->text().toStdString());
      d.InitRunoff = StringToFloat(InitRunEdit->text().toStdString());
      d.InitLevel = StringToFloat(InitLevelEdit->text().toStdString());
      d.Porosity = StringToFloat(PorosityEdit->text().toStdString());
    }

    if (!d.WriteInputFile()) return;
    countGuard.Commit();
    fileIsAnalysis_ = analysis;
    // The alpha coefficients written were read from the fields: none of them
    // is missing any more.
    if (!analysis) d.AlphaMissing = false;
    // The file just written is the current one, whatever the run does next.
    ShowFileName();

    // The grid and the records now hold exactly the rows written, in order.
    const int written = static_cast<int>(kept.size());
    for (int i = 0; i < written; ++i) {
      const int r = kept[i];
      d.Time[i] = d.Time[r];
      d.Rain[i] = d.Rain[r];
      d.EscRate[i] = d.EscRate[r];
      d.Runoff[i] = d.Runoff[r];
      d.SerialNr[i] = i + 1;
    }
    ResizeRecords(written + 1);
    std::fill(d.Removed.begin(), d.Removed.end(), false);
    d.NrOfData = written;
    NrOfDataEdit->setText(QString::number(written));
    StringGrid1->SetRowCount(written);
    if (rowLeftOut) {
      for (int i = 0; i < written; ++i) {
        StringGrid1->SetCells(0, i, CellText(d.Time[i]));
        StringGrid1->SetCells(1, i, CellText(d.Rain[i]));
        StringGrid1->SetCells(2, i, CellText(d.EscRate[i]));
        if (analysis) StringGrid1->SetCells(3, i, CellText(d.Runoff[i]));
      }
      StringGrid1->ForgetRowsFrom(written);
    }
    BaseCount = written;

    WaitMemo->show();
    WaitMemo->raise();
    WaitMemo->clear();
    PaintNow();
    if (!analysis) {
      RadioButton4->setText(d.Drainage ? T::kWatertableInTime : T::kReservoirStorage);
    }
    bool done = false;
    try {
      done = RunModel(session_);
    } catch (...) {
      WaitMemo->clear();
      WaitMemo->hide();
      throw;
    }
    if (analysis) {
      // The analysis tells how many records it read.
      NrOfDataEdit->setText(QString::number(session_.Run.RunCount));
      if (session_.Run.VariationOk) RadioButton4->setText(T::kWatertableInTime);
    }
    SaveAborted = !done;
    if (!done) {
      WaitMemo->clear();
      WaitMemo->hide();
      // After a check of the run's own (not a missing variation) the Input
      // tab comes back.
      if (session_.Run.VariationOk) PageControl1->setCurrentWidget(InputTabSheet);
      return;
    }

    WaitMemo->hide();
    Message(RunDoneText(d.FileName));
    ShowOutputLines();
    ShowFitMeasures(analysis ? FitMeasuresOfRun(session_.Run) : TFitMeasures{});
    d.OutFileName = d.FileName;
    SetDialogDirs(DirectoryOf(d.FileName));
    OutputMemo->show();
    OutputShown = true;
    GraphReady = true;
    ShowTab(OutputTabSheet);
  });
}
