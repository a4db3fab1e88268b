// Tables in and out: File > Import table… puts a measured table into the
// Input tab's grid; the Output tab's Export table… writes the results table
// shown as CSV.
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "ImportDialog.h"
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
    // The dialog shows the table as read and lets the user settle what it
    // leaves open; the records come from it.
    TImportDialog dialog(table, analysis, this);
    if (!fileDialogs_->ExecuteImport(dialog)) return;
    const TTableRecords& records = dialog.Records();
    const std::optional<double> escape = dialog.EscapeRate();
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
    // After a run the run's own table, at full precision and dated;
    // otherwise the lines shown, not the file again: what the user sees.
    std::string csv = runTableCsv_;
    if (csv.empty()) {
      std::string shown;
      for (int i = 0; i < count; ++i) shown += d.OutLines[i] + "\r\n";
      std::string message;
      csv = ResultsTableCsv(shown, message);
      if (csv.empty()) {
        Message(message);
        return;
      }
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
