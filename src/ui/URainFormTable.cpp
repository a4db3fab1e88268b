// Tables in and out: File > Import table… puts a measured table into the
// Input tab's grid; the Output tab's Export table… writes the results table
// shown as CSV.
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "TableFile.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UInputTab.h"
#include "URainForm.h"

namespace T = RainFormTexts;

void TRainForm::CreateTableCommands() {
  TableImportAction = new QAction(QString::fromUtf8(T::kTableImport), this);
  TableImportAction->setObjectName("TableImportAction");
  TableExportAction = new QAction(QString::fromUtf8(T::kTableExport), this);
  TableExportAction->setObjectName("TableExportAction");
  connect(TableImportAction, &QAction::triggered, this, [this] { TableImportActionExecute(); });
  connect(TableExportAction, &QAction::triggered, this, [this] { TableExportActionExecute(); });
  // Beside Open input, the other way in.
  FileMenu->insertAction(OutputOpenAction, TableImportAction);

  const QString start = QDir::currentPath();
  TableImportDialog = {"TableImportDialog", TFileDialogKind::Open, T::kTableImportFilter, "csv",
                       start};
  TableExportDialog = {"TableExportDialog", TFileDialogKind::Save, T::kTableExportFilter, "csv",
                       start};
}

void TRainForm::TableImportActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    QString chosen;
    if (!RunFileDialog(TableImportDialog, chosen)) return;
    const std::string table = chosen.toStdString();
    const bool analysis = inputTab_->AnalysisChosen();
    TTableOptions options;
    options.NeedRunoff = analysis;
    TTableReadResult result = ReadTableFile(table, options);
    if (result.Question == TTableReadResult::TQuestion::DateOrder) {
      options.DateOrder = d.ConfirmYesNo(T::kTableDayFirst) ? TTableOptions::TDateOrder::DayFirst
                                                            : TTableOptions::TDateOrder::MonthFirst;
      result = ReadTableFile(table, options);
    }
    if (result.Question == TTableReadResult::TQuestion::Area) {
      options.AreaKm2 = d.Dialogs->AskNumber(T::kTableAreaAsked, 0);
      if (options.AreaKm2) result = ReadTableFile(table, options);
    }
    if (!result.Records) {
      Message(result.Message);
      return;
    }
    const TTableRecords& records = *result.Records;
    // The mode and the reservoir fields stay as the user sees them.
    std::optional<double> escape;
    if (records.Escape.empty()) {
      // Asked every time, starting from nothing: the escape rate field may
      // still hold an earlier file's value, which is not this table's.
      escape = d.Dialogs->AskNumber(T::kTableEscapeAsked, 0);
      if (!escape) {
        Message(T::kTableEscapeNeeded);
        return;
      }
    } else {
      // As the batch import: the largest escape rate of the table.
      escape = *std::max_element(records.Escape.begin(), records.Escape.end());
    }
    d.MaxStorage = inputTab_->MaxStorageShown().value_or(d.MaxStorage);
    d.InitStorage = inputTab_->InitStorageShown().value_or(d.InitStorage);
    d.MaxEscape = *escape;
    d.Analysis = analysis;
    d.RunKind = analysis ? " Ana" : " Pre";
    // A new data set: no drainage parameter file of an earlier one goes with it.
    d.ParLoaded = false;
    d.AlphaMissing = false;
    HideCompanion(alfaForm_);
    PutTableRecords(records, d);
    bool changed = false;
    d.Title1 = OneLineText("Imported from " + QFileInfo(chosen).fileName().toStdString(), changed);
    d.FileName = ChangeFileExt(table, ".inp");

    inputTab_->ShowImportedTable();
    SetDialogDirs(DirectoryOf(table));
    inputTab_->AnalysisOutFound = false;
    ShowTab(InputTabSheet);
    inputTab_->ShowDataSet();
    ShowStatus(T::kTableImportedStatus);
    // What was taken, converted and left: the user checks it before a run.
    std::string report = T::kTableReport;
    for (const auto& line : records.Report) report += line + "\n";
    if (records.Escape.empty()) {
      report += T::kTableEscapeTyped + ShortestText(*escape) + T::kTableEscapeTypedUnit;
    }
    if (changed) report += T::kTableTitleBlanks;
    Message(report);
  });
}

void TRainForm::TableExportActionExecute() {
  Guarded([this] {
    const TDMTevlora& d = session_.Data;
    const int count = std::min(std::max(d.OutLineCount, 0), static_cast<int>(d.OutLines.size()));
    if (!OutputShown || count == 0) {
      Message(T::kNoOutputSelected);
      return;
    }
    // The lines shown, not the file again: what the user sees is exported.
    std::string shown;
    for (int i = 0; i < count; ++i) shown += d.OutLines[i] + "\r\n";
    std::string message;
    const std::string csv = ResultsTableCsv(shown, message);
    if (csv.empty()) {
      Message(message);
      return;
    }
    QString chosen;
    if (!RunFileDialog(TableExportDialog, chosen)) return;
    const std::string target = chosen.toStdString();
    if (FileExists(target) && !session_.Data.ConfirmYesNo(T::kOverwrite)) return;
    if (!SaveTextFileSafely(target, csv)) {
      Message(T::kTableNotWritten + target);
      return;
    }
    SetDialogDirs(DirectoryOf(target));
    ShowStatus(T::kTableExportedStatus + QString::fromStdString(target));
  });
}
