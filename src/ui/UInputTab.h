// The Input tab of the main window: the file name, titles, option and count
// fields, the data grid, the reservoir, prediction and alpha fields, and the
// notes and buttons around them. The tab shows the session's data set, checks
// what is typed into it and hands the window's commands (Open input,
// Save/Run, Import table, the Edit menu) what they read and write.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "StorageCalibration.h"
#include "URainFormTab.h"
#include "UStringGrid.h"

class TInputTab : public TRainFormTab {
  Q_OBJECT
 public:
  // The buttons Open input and Save/Run run the window's actions.
  TInputTab(TRainFormHost& host, QAction* inputOpen, QAction* inputSave);
  ~TInputTab() override;
  // The Edit menu's actions, whose captions and keys the grid's menu shows.
  void SetEditActions(QAction* cut, QAction* copy, QAction* paste, QAction* erase);
  void Arrange() override;

  // ---- State of the tab (named as in the program) ----
  bool GridHasData = false;
  bool Pasting = false;
  bool AnalysisOutFound = false;
  int BaseCount = 0;
  int TypedCount = 0;
  // The current file was opened or saved as an analysis, so a results file
  // beside it holds an analysis.
  bool FileIsAnalysis = false;

  // ---- What the window asks of the tab ----
  // The tab shown: its defaults when it holds no data.
  void TabShown();
  // Option 0 (analysis) or 1 (prediction) as the combo box shows it.
  bool AnalysisChosen() const;
  // The note and button of the drainage calculator.
  void SetAlfaNoteVisible(bool visible);
  void ShowDataSet();
  // A file just read: its titles, count and reservoir fields, its records.
  void ShowOpenedFile();
  // A table just imported into the data set.
  void ShowImportedTable();
  void ShowFileName();
  void HideFileName();
  // The calculator's results: B, F and the porosity as texts.
  void SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                         const QString& porosity);
  // The reservoir fields as typed, for an imported table.
  std::optional<double> MaxStorageShown() const;
  std::optional<double> InitStorageShown() const;

  // Save/Run, one step each: the check of every shown field that it reads
  // (the messages of all that fail, one per line; empty when all hold), the
  // titles, the grid's rows into the records (the rows written and whether
  // any was left out), the check of the records and fields, and the grid and
  // records brought to the rows written.
  std::string ShownFieldProblems() const;
  // Every cell of the rows Save/Run writes that it could not save (not a
  // number, a negative rain or runoff, a time that does not increase), as
  // one message; empty when there is none.
  std::string GridCellProblems() const;
  // No selection, the first row in view: a new data set.
  void ShowGridFromTop();
  void TakeTitles();
  struct TGridRows {
    std::vector<int> Kept;
    bool RowLeftOut = false;
  };
  bool ReadGridRecords(TGridRows& rows);
  bool CheckRecordsAndFields();
  void AfterInputWritten(const TGridRows& rows);
  // The run's progress lines over the grid.
  void ShowWaitMemo();
  void HideWaitMemo(bool clear = true);
  void AppendProgress(const QString& line);
  // The analysis tells how many records it read.
  void ShowRunCount(int count);

  // ---- The calibration of the storages and the calibration period ----
  bool CalibrationChosen() const;
  // The ranges typed; an empty field takes its part of `defaults`, which it
  // then shows. The complaint when a field cannot be read.
  std::optional<std::string> CalibrationRanges(const TStorageRanges& defaults,
                                               TStorageRanges& ranges);
  // The time typed in "Calibrate until time" (none when the field is empty);
  // the complaint when it is no number.
  std::optional<std::string> CalibrateUntilShown(std::optional<double>& until) const;
  // The storages a calibration found, in their fields.
  void ShowStorages(double maxStorage, double initStorage);

  // The Edit menu on the focused field, or on the grid.
  void EditCut();
  void EditCopy();
  void EditPaste();
  void EditDelete();

  // ---- Handlers (named as in the program) ----
  void StringGrid1SetEditText(int column, int row, const QString& text);
  void ClearButtonClick();

 signals:
  void HelpClicked();
  void AlfaClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The count of `rows` less the trailing rows (not below `least`) whose
  // values are all empty or zero.
  int RowsWithoutTrailingBlanks(int rows, int least) const;
  // The step between the times of the last two of `rows` rows, when they
  // increase.
  std::optional<double> LastTimeStep(int rows) const;

 private:
  // Field check: reads `edit`, stores an accepted value; a rejected one
  // shows its message, resets the field and stores the reset value.
  struct TFieldRule {
    const char* NotANumber;
    const char* ResetText;
    const char* BelowZero = nullptr;  // message when the value is < 0
    const char* AboveHundred = nullptr;
    const char* RangeResetText = nullptr;
  };
  bool CheckField(QLineEdit* edit, double& target, const TFieldRule& rule);
  // The rule of a checked field (null edit: none).
  TFieldRule RuleOf(const QLineEdit* edit) const;
  // The message of the rule that the field's text breaks; null when it holds.
  static const char* FieldProblem(const QLineEdit* edit, const TFieldRule& rule);

  // The controls, a block at a time, and what they run.
  void CreateTopBlock();
  void CreateGrid();
  void CreateParameterFields();
  void CreateNotes();
  void CreateCalibrationFields();
  // Turning the calibration on fills its empty ranges with the defaults
  // for the rain of the records.
  void CalibrateCheckBoxClick();
  std::vector<QWidget*> CalibrationControls() const {
    return {CalibrateCheckBox, MaxStorRangeLabel,   MaxStorRangeEdit,  InitStorRangeLabel,
            InitStorRangeEdit, CalibrateUntilLabel, CalibrateUntilEdit};
  }
  void ConnectControls(QAction* inputOpen, QAction* inputSave);
  void OnExit(QWidget* widget, void (TInputTab::*handler)());
  void OptionComboBoxChange();
  void OptionComboBoxExit();
  void NrOfDataEditExit();
  void MaxStorEditExit();
  void InitStorEditExit();
  void EscapeEditExit();
  void A1coeffEditExit();
  void InitRunEditExit();
  void InitLevelEditExit();
  void PorosityEditExit();
  // False when the pasted text could not be read.
  bool HandlePasteMultiCell(TStringGrid* grid, int column, const QString& text, int row);
  void AnalysisLayout();
  void PredictionLayout();
  void SetOptionItem(int item);
  void ResizeRecords(int size);
  QString CellText(double value) const;
  // Forgets the data set of the tab (file, titles, records, parameters and
  // the drainage parameters loaded with it); the Output tab keeps its
  // results.
  void ClearDataSet();
  // The .par parameters belong to a drainage prediction only.
  void DropDrainageParameters();
  bool DrainageLayoutWithParameters() const;
  // Refills the tab from the data set and puts back what the user had typed
  // into the rows that stay.
  void ShowDataSetKeepingTypedCells();
  // The alpha coefficients of an analysis whose results lie beside the file.
  void FindAnalysisResults();
  // The records in the first `rows` rows of the grid (zeros when the tab
  // holds no data).
  void ShowRecordsInGrid(int rows);
  // What follows every change of grid cells: the count check, quietly.
  void AfterGridEdit();
  void GridCut();
  void GridCopy();
  void GridPaste();
  void GridDelete();
  void GridContextMenu(const QPoint& position);

  QMap<QObject*, void (TInputTab::*)()> exitHandlers_;
  QAction* editActions_[4] = {};

  QLabel* FileNameLabel;
  QLineEdit* FileNameEdit;
  QLabel* Title1Label;
  QLineEdit* Title1Edit;
  QLabel* Title2Label;
  QLineEdit* Title2Edit;
  QLabel* OptionLabel;
  QComboBox* OptionComboBox;
  QLabel* NrOfDataLabel;
  QLineEdit* NrOfDataEdit;
  TStringGrid* StringGrid1;
  QLabel* TimeLabel;
  QLabel* RainLabel;
  QLabel* EvapLabel;
  QLabel* RunoffLabel;
  QLabel* StarLabel;
  QGroupBox* FirstGroupBox;
  QLabel* MaxStorLabel;
  QLineEdit* MaxStorEdit;
  QLabel* InitStorLabel;
  QLineEdit* InitStorEdit;
  QLabel* EscapeLabel;
  QLineEdit* EscapeEdit;
  QGroupBox* PredictGroupBox;
  QLabel* InitRunLabel;
  QLineEdit* InitRunEdit;
  QLabel* InitLevelLabel;
  QLineEdit* InitLevelEdit;
  QLabel* PorosityLabel;
  QLineEdit* PorosityEdit;
  QGroupBox* AlphaGroupBox;
  QLabel* AlphaLabel;
  QLabel* A1Label;
  QLineEdit* A1coeffEdit;
  QLabel* B1Label;
  QLineEdit* B1valueEdit;
  QPlainTextEdit* AlfaMemo;
  QPushButton* AlfaButton;
  QPlainTextEdit* TryMemo;
  QPlainTextEdit* InfoMemo;
  QLabel* InputImage;
  QPlainTextEdit* WaitMemo;
  QPushButton* HelpButton;
  QPushButton* ClearButton;
  QPushButton* InputOpenButton;
  QPushButton* InputSaveButton;
  QCheckBox* CalibrateCheckBox;
  QLabel* MaxStorRangeLabel;
  QLineEdit* MaxStorRangeEdit;
  QLabel* InitStorRangeLabel;
  QLineEdit* InitStorRangeEdit;
  QLabel* CalibrateUntilLabel;
  QLineEdit* CalibrateUntilEdit;
};
