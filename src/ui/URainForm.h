// The main window of TevloraT: five tabs (Intro, Figure, Input, Output,
// Graphics), the menu and its commands, the file dialogs and the navigation
// between the tabs. Each tab is a class that keeps its controls (UInputTab,
// UOutputTab, UGraphicsTab, UIntroPages) and reaches the window through
// TRainFormHost. The window's code is spread over URainForm.cpp (creation,
// menu, navigation), URainFormRun.cpp (Open input, Save/Run),
// URainFormOutput.cpp (Open output), URainFormGraphics.cpp (the graph
// commands), URainFormTable.cpp (tables in and out) and URainFormLayout.cpp
// (the window on the screen).
#pragma once

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UAlfaForm.h"
#include "UBaseForm.h"
#include "UGraphDraw.h"
#include "URainFormTab.h"
#include "USession.h"
#include "UStringGrid.h"
#include "UWindowDialogs.h"
#include "UserDialogs.h"

class TIntroPage;
class TFigurePage;
class TOutputTab;
class TInputTab;
class TGraphicsTab;
class TWorker;
class QProgressBar;
class QToolBar;
class QTimer;
class QSettings;
class TRecentFiles;

// The window's own texts, byte for byte.
namespace RainFormTexts {
inline constexpr const char* kApplicationTitle = "Tevlora rainfall runoff relations";
inline constexpr const char* kCaption = "TevloraT, rainfall runoff relations";

inline constexpr const char* kIntroTab = "  Intro  ";
inline constexpr const char* kFigureTab = " Figure ";
inline constexpr const char* kInputTab = "  Input  ";
inline constexpr const char* kOutputTab = "  Output  ";
inline constexpr const char* kGraphicsTab = " Graphics ";

inline constexpr const char* kFileMenu = "&File";
inline constexpr const char* kEditMenu = "&Edit";
inline constexpr const char* kProgramExit = "Program e&Xit";

inline constexpr const char* kEditCut = "Cu&t";
inline constexpr const char* kEditCutHint = "Cut|Cuts the selection and puts it on the Clipboard";
inline constexpr const char* kEditCopy = "&Copy";
inline constexpr const char* kEditCopyHint =
    "Copy|Copies the selection and puts it on the Clipboard";
inline constexpr const char* kEditPaste = "&Paste";
inline constexpr const char* kEditPasteHint = "Paste|Inserts Clipboard contents";
inline constexpr const char* kEditDelete = "&Delete";
inline constexpr const char* kEditDeleteHint = "Delete|Erases the selection";
inline constexpr const char* kFileExit = "E&xit";
inline constexpr const char* kFileExitHint = "Exit|Quits the application";
inline constexpr const char* kInputSave = "Save i&Nput";
inline constexpr const char* kInputOpen = "Open &Input";
inline constexpr const char* kOutputOpen = "Open &Output";
inline constexpr const char* kGraphOpen = "Open &Graph";
inline constexpr const char* kOutputOpenForGraphics = "Open &Graph";
inline constexpr const char* kGraphSave = "Save g&Raph";

inline constexpr const char* kInputFilter = "Input files (*.inp)|*.inp";
inline constexpr const char* kOutputFilter = "Output files (*.out)|*.out";
// JPEG and PNG pictures open here too, so the dialog lists them with the bitmaps.
inline constexpr const char* kGraphOpenFilter =
    "Graph files (*.bmp *.jpg *.jpeg *.png)|*.bmp;*.jpg;*.jpeg;*.png";
// The bitmap first, as it always was; then the picture and vector formats.
inline constexpr const char* kGraphSaveFilter =
    "Image files (*.bmp)|*.bmp|PNG pictures (*.png)|*.png|SVG drawings (*.svg)|*.svg|"
    "PDF documents (*.pdf)|*.pdf";

// Tables in and out (CSV).
inline constexpr const char* kTableImport = "Import table…";
inline constexpr const char* kTableExport = "Export table…";
inline constexpr const char* kTableImportFilter = "Tables (*.csv *.txt *.tsv)|*.csv;*.txt;*.tsv";
inline constexpr const char* kTableExportFilter = "CSV tables (*.csv)|*.csv";
inline constexpr const char* kTableImportedStatus =
    "The table's records are in the grid. Check the fields and use \"Save/Run\".";
inline constexpr const char* kTableExportedStatus = "The results table was saved in ";
inline constexpr const char* kTableNotWritten = "The table could not be written: ";
inline constexpr const char* kTableEscapeTyped = "escape: ";
inline constexpr const char* kTableEscapeTypedUnit =
    " mm per time unit in every record, as typed\n";
inline constexpr const char* kTableReport = "The table was read so:\n";
inline constexpr const char* kTableTitleBlanks =
    "title: the line ends and control characters of the file name are blanks\n";

// Status lines.
inline constexpr const char* kIntroStatus = "Click on the Input tab to proceed.";
inline constexpr const char* kInputStatus =
    "Enter data or use \"Open input\" to see examples under \"Data\" or to edit existing "
    "files. Thereafter use \"Save/Run\".";
inline constexpr const char* kOutputStatus =
    "The output file can be inspected. Use \"Open output\" to see examples under \"Data\" or "
    "to inspect any other output file.";
inline constexpr const char* kOutputOpenedStatus =
    "The output file can be imported into spreadsheets";
inline constexpr const char* kGraphicsStatus =
    "Graphics presentations of output data can be seen and saved. Use \"Make graph\" to open "
    "an output file and make the graphs.";

// Input tab.
inline constexpr const char* kFileLabel = "File";
inline constexpr const char* kTitle1Label = "Title1";
inline constexpr const char* kTitle1Hint = "Description of the area";
inline constexpr const char* kTitle2Label = "Title2";
inline constexpr const char* kTitle2Hint = "Particulars and units used (e.g. mm, day)";
inline constexpr const char* kOptionLabel = "Options";
inline constexpr const char* kOptionAnalysis =
    "Determine alpha from rainfall and runoff data and reconstruct runoff";
inline constexpr const char* kOptionPrediction =
    "Predict discharge or runoff from rainfall given the alpha function";
inline constexpr const char* kNrOfDataLabel = "Nr. of Data";
inline constexpr const char* kNrOfDataHint = "Between 15 and 500";
inline constexpr const char* kTimeLabel = "Time";
inline constexpr const char* kTimeHint = "Give time in units (hr, day), not dates";
inline constexpr const char* kRainLabel = "Rain *)";
inline constexpr const char* kRainHint = "Use mm per time unit";
inline constexpr const char* kEvapLabel = "Max. Escape rate  *)";
inline constexpr const char* kRunoffLabel = "Runoff *) Discharge";
inline constexpr const char* kRunoffHint = "Use mm per time unit";
inline constexpr const char* kStarLabel = "*) see Start help, units";
inline constexpr const char* kFirstGroup = "First reservoir (see Figure)";
inline constexpr const char* kMaxStorLabel = "Maximum storage";
inline constexpr const char* kMaxStorHint = "> 0";
inline constexpr const char* kInitStorLabel = "Initial storage";
inline constexpr const char* kInitStorHint = "<= Maximum storage";
inline constexpr const char* kEscapeLabel = "Maximum escape rate";
inline constexpr const char* kEscapeHint = "< 0.1 * maximum storage";
inline constexpr const char* kPredictGroup = "Initialize";
inline constexpr const char* kInitRunLabel = "Initial runoff";
inline constexpr const char* kInitLevelLabel = "Initial water level";
inline constexpr const char* kPorosityLabel = "Drainable porosity (%)";
inline constexpr const char* kAlphaGroup = "Alpha characteristics";
inline constexpr const char* kAlphaRunoff = "Alpha=B*runoff+F";
inline constexpr const char* kAlphaDischarge = "Alpha=B*discharge+F";
inline constexpr const char* kA1Label = "B coefficient";
inline constexpr const char* kB1Label = "F value";
inline constexpr const char* kAlphaFieldHint = ">= 0";
inline constexpr const char* kAlfaMemo =
    "To calculate the B and C values for a\nsubsurface drainage system with\npipes or ditches "
    "use button AlfaCalc";
inline constexpr const char* kAlfaButton = "AlfaCalc";
inline constexpr const char* kTryMemo =
    "Try various values of\ninitial storage to find\nthe best result.";
inline constexpr const char* kInfoMemo =
    "There is another version of this\nprogram with a quadratic alpha\nfunction. It sometimes "
    "gives\nbetter results.";
inline constexpr const char* kHelpButton = "Start help, units";
inline constexpr const char* kClearButton = "Clear all";
inline constexpr const char* kInputOpenButton = " Open input";
inline constexpr const char* kInputSaveButton = " Save / Run";

// Initial and reset texts of the fields.
inline constexpr const char* kNrOfDataText = "20";
inline constexpr const char* kZeroText = "0";
inline constexpr const char* kPorosityText = "5";
inline constexpr const char* kPorosityReset = " 5";
inline constexpr const char* kPorosityCleared = " 5 ";
inline constexpr const char* kMissing = "missing";

// Input tab messages.
inline constexpr const char* kNotInteger = "The number of data is not a valid integer";
inline constexpr const char* kMinimumData = " The minimum number of data is 12";
inline constexpr const char* kMaximumData =
    " The maximum number of data is 1500. Not enough? Contact the author.";
inline constexpr const char* kAddData = " Add data in the last cells at the end of the column";
inline constexpr const char* kRemoveData = " To remove data make the relevant data cells empty";
inline constexpr const char* kPasteFailed =
    "An insufficient number of data has been pasted more data are needed.";
inline constexpr const char* kKeepCount =
    "The number of data is less than the original number. Do you want to maintain the original "
    "number?";
inline constexpr const char* kCheckPrediction =
    "Please check the initial runoff and water level and the alpha parameters.";
inline constexpr const char* kFillRunoff =
    "Please enter the measured runoff of each record in the Runoff column.";
inline constexpr const char* kMaxStorNaN = "The maximum storage is not a valid real";
inline constexpr const char* kMaxStorRange = "The maximum storage must be >= 0";
inline constexpr const char* kInitStorNaN = "The initial storage is not a valid real";
inline constexpr const char* kInitStorRange = "The initial storage must be >= 0";
inline constexpr const char* kEscapeNaN = "The escape rate is not a valid real";
inline constexpr const char* kA1NaN = "The A1 coefficient is not a valid real";
inline constexpr const char* kB1NaN = "The F value is not a valid real";
inline constexpr const char* kInitRunNaN = "The initial runoff is not a valid real";
inline constexpr const char* kInitRunRange = "The initial runoff must be >= 0";
inline constexpr const char* kInitLevelNaN = "The initial level is not a valid real";
inline constexpr const char* kInitLevelRange = "The initial level must be >= 0";
inline constexpr const char* kPorosityNaN = "The porosity is not a valid real";
inline constexpr const char* kPorosityNegative = "The porosity must be >= 0";
inline constexpr const char* kPorosityTooLarge = "The porosity must be < 100%";

// Open input and Save/Run.
inline constexpr const char* kNoInputSelected = "No input file was selected";
inline constexpr const char* kFileMissing = "File does not exist, please select another one,";
inline constexpr const char* kOverwrite = "The file already exists, overwrite?";
inline constexpr const char* kNotSaved = "The input data were not saved";
inline constexpr const char* kNotAllReal = "Not all data values in the inputfile are real";
inline constexpr const char* kInputErrors =
    "The input data were not saved due to input errors like negative values or a "
    "non-sequential time series";
inline constexpr const char* kSavedSeparator = " ;";

// Output tab.
inline constexpr const char* kViewGraphButton = "View graph";
inline constexpr const char* kNoOutputSelected = "No output file selected";

// Graphics tab.
inline constexpr const char* kSeeGraphButton = "Open graph";
inline constexpr const char* kMakeGraphButton = "Make graph";
inline constexpr const char* kSaveGraphButton = "Save color graph";
inline constexpr const char* kBlWhButton = "Save Bl-Wh graph";
inline constexpr const char* kSelectButton = "Select graph";
inline constexpr const char* kCommentButton = "Comment";
inline constexpr const char* kSelectGroup = "Select graph";
inline constexpr const char* kRunoffInTime = "Runoff in time";
inline constexpr const char* kRainRecharge = "Rain/Recharge";
inline constexpr const char* kObservedCalculated = "Observed-calculated";
inline constexpr const char* kDischargeRecharge = "Discharge-Recharge";
inline constexpr const char* kRechargeRunoffInTime = "Recharge-Runoff in time";
inline constexpr const char* kWatertableInTime = "Watertable in time";
inline constexpr const char* kReservoirStorage = "Reservoir storage";
inline constexpr const char* kGoButton = "Go";
inline constexpr const char* kNoGraphicsSelected = "No graphics file selected";
inline constexpr const char* kGraphFileMissing = "File does not exist, please select another one";
inline constexpr const char* kGraphNotSaved = "The graph was not saved";
inline constexpr const char* kGraphSavedIn = "The graph was saved in  ";
inline constexpr const char* kPictureNotRead = "The picture file \"%1\" could not be read: %2";
inline constexpr const char* kGraphNotWritten = "The graph could not be written to \"%1\"";

// Long work and its Cancel.
inline constexpr const char* kCancelButton = "Cancel";
inline constexpr const char* kRunCancelled =
    "The run was cancelled. The results files were left as they were.";
inline constexpr const char* kFitMapCancelled = "The fit map was cancelled.";

// Unsaved work.
inline constexpr const char* kClearAllAsked =
    "Clear all records and fields? The data set has not been saved.";
inline constexpr const char* kUndoClearAll = "&Undo clear all";
inline constexpr const char* kCloseAsked =
    "The data set has changes that have not been saved. Save them before closing?";
inline constexpr const char* kTitleSeparator = " - ";

// Recent files.
inline constexpr const char* kRecentFiles = "Recent &files";
}  // namespace RainFormTexts

// The one set of pre-reservoir defaults: what a fresh window shows and what
// its data set holds.
namespace ReservoirDefaults {
inline constexpr double kMaxStorage = 100;
inline constexpr double kInitStorage = 80;
inline constexpr double kMaxEscape = 0.1;
}  // namespace ReservoirDefaults

// Where the main window goes on a screen of the given width.
struct TWindowPlacement {
  int Left = 0;
  int Width = 0;
};
TWindowPlacement WindowPlacement(int screenWidth, int designedWidth);

class TRainForm : public TBaseForm, public TInputTabFields, private TRainFormHost {
  Q_OBJECT
 public:
  // The window works on `session`, which outlives it. Without dialogs objects
  // the window uses message boxes and file dialogs; the tests give scripted
  // ones.
  explicit TRainForm(TSession& session, TUserDialogs* userDialogs = nullptr,
                     TFileDialogs* fileDialogs = nullptr, QWidget* parent = nullptr);
  ~TRainForm() override;

  // What the data module and the other windows use to talk to the user: the
  // messages and questions go to the user dialogs, the progress lines to
  // WaitMemo as well.
  TUserDialogs* Dialogs() { return &formDialogs_; }
  // The long-lived windows that this window shows and hides.
  void SetCompanions(QWidget* finishForm, QWidget* helpForm, QWidget* commentForm,
                     QWidget* alfaForm);
  // The calculator's results: B, F and the porosity as texts.
  void SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                         const QString& porosity) override;
  // Places the window for a screen of this width.
  void PlaceWindow(int screenWidth);

  // ---- Controls (named as in the program) ----
  QTabWidget* PageControl1;
  QWidget* IntroTabSheet;
  QWidget* FigureTabSheet;
  QWidget* InputTabSheet;
  QWidget* OutputTabSheet;
  QWidget* GraphicsTabSheet;
  TIntroPage* IntroPage = nullptr;
  TFigurePage* FigurePage = nullptr;

  QMenu* FileMenu;
  QMenu* EditMenu;
  QAction* EditCut1;
  QAction* EditCopy1;
  QAction* EditPaste1;
  QAction* EditDelete1;
  QAction* FileExit1;
  QAction* InputSaveAction;
  QAction* InputOpenAction;
  QAction* OutputOpenAction;
  QAction* GraphOpenAction;
  QAction* OutputOpenForGraphics;
  QAction* GraphSaveAction;
  QAction* TableImportAction;
  QAction* TableExportAction;
  QAction* UndoClearAction = nullptr;
  QMenu* RecentFilesMenu = nullptr;

  TFileDialog InputOpenDialog;
  TFileDialog InputSaveDialog;
  TFileDialog OutputOpenDialog;
  TFileDialog GraphOpenDialog;
  TFileDialog GraphSaveDialog;
  TFileDialog TableImportDialog;
  TFileDialog TableExportDialog;

  // The bar under the tabs while long work runs: its progress and Cancel.
  QToolBar* WorkBar = nullptr;
  QProgressBar* WorkProgress = nullptr;
  QPushButton* CancelButton = nullptr;

  // ---- Run-time state ----
  std::string StartDir;
  bool SaveAborted = false;
  bool OutputShown = false;
  // The decimal separator of the locale at start-up.
  char StartDecimalSeparator = '.';

  // ---- Handlers and operations ----
  void IntroTabSheetShow();
  void InputTabSheetShow();
  void OutputTabSheetShow();
  void GraphicsTabSheetShow();
  void SetDialogDirs(const std::string& dir);
  // Switches to a tab; when it is already shown its shown-handler runs again.
  void ShowTab(QWidget* page);

  void HelpButtonClick();
  void AlfaButtonClick();

  void InputOpenActionExecute();
  void InputSaveActionExecute();
  bool AskInputFileName();

  void OutputOpenActionExecute();
  void TableImportActionExecute();
  void TableExportActionExecute();
  void ViewGraphButtonClick();

  void OutputOpenForGraphicsExecute();
  void GraphOpenActionExecute();
  void GraphSaveActionExecute();
  void BlWhButtonClick();
  void CommentButtonClick();

  void EditCut1Execute();
  void EditCopy1Execute();
  void EditPaste1Execute();
  void EditDelete1Execute();
  void FileExit1Execute();

  // The tabs, for their state and handlers.
  TInputTab& Input() { return *inputTab_; }
  TGraphicsTab& Graphics() { return *graphicsTab_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Passes messages and questions on, and writes progress lines into the
  // Input tab's wait memo.
  class TFormDialogs : public TUserDialogs {
   public:
    explicit TFormDialogs(TRainForm* form) : form_(form) {}
    void Message(const std::string& text) override;
    bool ConfirmYesNo(const std::string& question) override;
    void Progress(const std::string& line) override;
    void Pause(int milliseconds) override;
    std::optional<double> AskNumber(const std::string& question, double initial) override;
    std::optional<bool> AskSaveChanges(const std::string& question) override;

   private:
    TRainForm* form_;
  };

  void CreateMenuAndActions();
  // The five tabs, each with its controls; the tabs' buttons run the
  // window's actions, which exist by then.
  void CreateTabs();
  // The tabs grow with the window and scroll when it is smaller than their
  // design; labels get room for their texts, buttons their mnemonics.
  void ArrangeTabs();
  // Keeps the window inside the screen's available area.
  void FitIntoScreen();
  void CreateTableCommands();
  // Lets the window repaint (what a closed dialog uncovered, a new progress
  // line) while a run keeps the event loop waiting; no input is taken.
  void PaintNow();
  void TabChanged(int index);
  // What the tabs ask of the window.
  TSession& Session() override { return session_; }
  TUserDialogs& FormDialogs() override { return formDialogs_; }
  void Guarded(const std::function<void()>& command) override;
  void ShowStatus(const QString& text) override { TBaseForm::ShowStatus(text); }
  void HideComment() override;
  void RestoreDecimalSeparator() override;
  std::string StartDirectory() const override { return StartDir; }
  void ShowCalculator() override { ShowCompanion(alfaForm_); }
  void HideCalculator() override { HideCompanion(alfaForm_); }
  void ClearCalculator() override;
  void SelectTab(QWidget* page) override;
  bool RunJob(const TWindowJob& job) override;

  bool ClearAllAllowed() override;
  void InputCleared() override;

  // Unsaved work: the Input tab as it was last opened, saved or cleared, the
  // title with the file's name and a mark for changes, Undo clear all.
  void CreateUnsavedWatch();
  QString InputFingerprint() const;
  bool InputChanged() const { return InputFingerprint() != savedInput_; }
  // The tab as it is now counts as saved in (or opened from) `fileName`.
  void MarkInputSaved(const std::string& fileName);
  void UpdateTitle();
  void UndoClearAll();
  // Asks before the window closes with unsaved changes; false: go back.
  bool MayClose();

  // Key shortcuts, the recent files and the last folder, dropped files.
  void CreateFileHabits();
  void ShowRecentFiles();
  // A file the user worked on: first in the recent files.
  void RememberFile(const std::string& fileName);
  // Runs `action` with `file` as the answer of its file dialog.
  void OpenWithoutDialog(QAction* action, const TFileDialog& dialog, const QString& file);

  // The progress bar and Cancel, and the worker that runs long work.
  void CreateWorkBar();
  // What must not change the data while long work runs.
  std::vector<QObject*> LockedWhileWorking() const;

  void Message(const std::string& text);
  void Message(const char* text) { Message(std::string(text)); }
  bool RunFileDialog(const TFileDialog& dialog, QString& fileName);
  void HideCompanion(QWidget* window);
  void ShowCompanion(QWidget* window);

  // Save/Run's last steps: the run, and its results on the Output tab.
  bool RunSavedInput(bool analysis);
  // The storage calibration of the analysis input just saved, when the Input
  // tab asks for it: the best storages go into the data set, the input file
  // and the tab, the profile to the Graphics tab. False after a message.
  bool CalibrateSavedInput();
  void ShowRunResults(bool analysis);
  // Output tab helper.
  bool OpenOutputFile();
  // Save graph in colour or black and white.
  void SaveGraph(bool colour);

  TSession& session_;
  TInputTab* inputTab_ = nullptr;
  TOutputTab* outputTab_ = nullptr;
  TGraphicsTab* graphicsTab_ = nullptr;
  std::unique_ptr<TUserDialogs> ownUserDialogs_;
  std::unique_ptr<TFileDialogs> ownFileDialogs_;
  TUserDialogs* userDialogs_;
  TFileDialogs* fileDialogs_;
  // The results table of the run shown, from the run itself at full
  // precision; empty when the results shown came from a file.
  std::string runTableCsv_;
  // The results file the last Save/Run wrote, and when. Opened again
  // unchanged, it keeps the storage profile and the calibration split of
  // that run.
  std::string runResultsFile_;
  std::filesystem::file_time_type runResultsTime_{};
  TFormDialogs formDialogs_;
  QWidget* finishForm_ = nullptr;
  QWidget* helpForm_ = nullptr;
  QWidget* commentForm_ = nullptr;
  QWidget* alfaForm_ = nullptr;
  TWorker* worker_ = nullptr;
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<TRecentFiles> recentFiles_;
  // The file that answers the next run of the dialog of this name.
  QString presetDialog_;
  QString presetFile_;
  QString savedInput_;
  std::string currentFile_;
  QTimer* titleTimer_ = nullptr;
  // The Input tab and its data set as Clear all found them, for Undo.
  struct TClearedInput {
    TDMTevlora Data;
    bool GridHasData = false;
    bool AnalysisOutFound = false;
    bool FileIsAnalysis = false;
    int BaseCount = 0;
    int TypedCount = 0;
    bool FileShown = false;
    std::vector<std::pair<QLineEdit*, QString>> Texts;
    int Rows = 0;
    std::vector<QString> Cells;
    std::string File;
  };
  std::unique_ptr<TClearedInput> cleared_;
  bool firstShow_ = true;
  int shownTab_ = -1;
};
