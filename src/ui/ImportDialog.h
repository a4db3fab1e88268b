// The window's import of a measured table: the first records as the reader
// splits them, the role and the unit of every column and the date order (each
// can be changed, and the table is read again), the catchment area and the
// escape rate where the table needs them, and the reader's report or its
// refusal. Import takes the records; the window puts them into the grid.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <optional>
#include <string>
#include <vector>

#include "TableFile.h"

namespace ImportDialogTexts {
inline constexpr const char* kCaption = "Import table";
inline constexpr const char* kRoleRow = "role";
inline constexpr const char* kUnitRow = "unit";
inline constexpr const char* kDateOrder = "Dates with /:";
inline constexpr const char* kDateOrders[] = {"as the steps say", "day first", "month first"};
inline constexpr const char* kArea = "Catchment area (km2):";
inline constexpr const char* kEscape = "Escape rate of every record (mm per time unit):";
inline constexpr const char* kWindow = "Only the records from .. to (dates):";
inline constexpr const char* kMissing = "Missing values also written as:";
inline constexpr const char* kFillGaps = "Fill runs of missing values up to:";
inline constexpr const char* kStep = "Add the records up to (day, or hours):";
inline constexpr const char* kOptionsHere =
    "\n\n(The options named are the fields of this dialog: --area the catchment area, "
    "--window the records from .. to, --missing, --fill-gaps and --step the fields so named, "
    "--columns and --units the role and unit of a column, --day-first and --month-first the "
    "order of dates.)";
inline constexpr const char* kImport = "Import";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kReadSo = "Read so:\n";
inline constexpr const char* kNotRead = "Not imported:\n";
inline constexpr const char* kEscapeWanted =
    "\nThe table has no escape column: type the escape rate of every record.";
}  // namespace ImportDialogTexts

class TImportDialog : public QDialog {
  Q_OBJECT
 public:
  // Reads the table at `path`; an analysis needs a runoff column.
  TImportDialog(const std::string& path, bool analysis, QWidget* parent = nullptr);

  // After Import: the records, and the escape rate of every record (the
  // table's largest, or the one typed when it has no escape column).
  const TTableRecords& Records() const { return *records_; }
  double EscapeRate() const { return escape_; }
  bool EscapeTyped() const { return escapeTyped_; }
  // What the Import button does; false, with nothing taken, while the
  // table cannot be imported.
  bool Import();

  QTableWidget* PreviewGrid;  // row 0 the roles, row 1 the units, then records
  QComboBox* DateOrderBox;
  QLabel* AreaLabel;
  QLineEdit* AreaEdit;
  QLabel* EscapeLabel;
  QLineEdit* EscapeEdit;
  QLineEdit* WindowFromEdit;
  QLineEdit* WindowToEdit;
  QLineEdit* MissingEdit;
  QLineEdit* FillGapsEdit;
  QComboBox* StepBox;
  QPlainTextEdit* ReportMemo;
  QPushButton* ImportButton;
  QPushButton* CancelButton;
  // The role and the unit chosen for column c.
  std::vector<QComboBox*> RoleBoxes, UnitBoxes;

 private:
  // Reads the table with the choices made and shows what came of it.
  void ReadAgain();
  void ShowPreview(const TTablePreview& preview);
  void UpdateImportButton();
  TTableOptions Options() const;

  std::string text_;
  std::string loadFault_;
  bool truncated_ = false;
  bool analysis_;
  TTableReadResult result_;
  std::vector<bool> roleChanged_, unitChanged_;
  std::optional<TTableRecords> records_;
  double escape_ = 0;
  bool escapeTyped_ = false;
};
