// Main window: creation, menu and actions, tabs, companions and closing.
#include "URainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStringDecoder>
#include <exception>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "UIntroPages.h"
#include "UOutputTab.h"
#include "URecentFiles.h"
#include "UWindowLayout.h"
#include "UWorker.h"

namespace T = RainFormTexts;

namespace {
constexpr int kDesignedWidth = 673;
constexpr int kDesignedHeight = 623;
constexpr int kWindowTop = 40;

// Short and long part of a hint "Short|Long".
void SetHint(QAction* action, const char* hint) {
  const QString text = QString::fromUtf8(hint);
  const int bar = text.indexOf('|');
  action->setToolTip(bar < 0 ? text : text.left(bar));
  action->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
}
}  // namespace

TWindowPlacement WindowPlacement(int screenWidth, int designedWidth) {
  TWindowPlacement placement{100, designedWidth};
  if (screenWidth >= 676) {
    placement.Width = 675;
  } else if (screenWidth < designedWidth) {
    placement.Left = 10;
    placement.Width = screenWidth - 10;
  }
  return placement;
}

// ---------------------------------------------------------------------------
// Messages, questions and progress lines

void TRainForm::TFormDialogs::Message(const std::string& text) {
  form_->userDialogs_->Message(text);
}

bool TRainForm::TFormDialogs::ConfirmYesNo(const std::string& question) {
  return form_->userDialogs_->ConfirmYesNo(question);
}

void TRainForm::TFormDialogs::Progress(const std::string& line) {
  form_->inputTab_->AppendProgress(FileText(line));
  // The run blocks the event loop: paint the line now.
  form_->PaintNow();
  form_->userDialogs_->Progress(line);
}

void TRainForm::TFormDialogs::Pause(int milliseconds) {
  form_->userDialogs_->Pause(milliseconds);
}

std::optional<bool> TRainForm::TFormDialogs::AskSaveChanges(const std::string& question) {
  return form_->userDialogs_->AskSaveChanges(question);
}

std::optional<double> TRainForm::TFormDialogs::AskNumber(const std::string& question,
                                                         double initial) {
  return form_->userDialogs_->AskNumber(question, initial);
}

void TRainForm::Message(const std::string& text) {
  formDialogs_.Message(text);
}

void TRainForm::RestoreDecimalSeparator() {
  CurrentDecimalSeparator = StartDecimalSeparator;
}

void TRainForm::ClearCalculator() {
  if (auto* calculator = qobject_cast<TAlfaForm*>(alfaForm_)) calculator->ClearInputs();
}

void TRainForm::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    // A runtime error ends the command; the program goes on.
    RestoreDecimalSeparator();
    Message(error.what());
  }
}

bool TRainForm::RunFileDialog(const TFileDialog& dialog, QString& fileName) {
  QString chosen;
  if (!presetDialog_.isEmpty() && presetDialog_ == dialog.Name) {
    chosen = presetFile_;
    presetDialog_.clear();
  } else if (!fileDialogs_->Execute(dialog, chosen)) {
    return false;
  }
  if (chosen.isEmpty()) return false;
  fileName = WithDefaultExt(chosen, dialog.DefaultExt);
  return true;
}

// ---------------------------------------------------------------------------
// Creation

TRainForm::TRainForm(TSession& session, TUserDialogs* userDialogs, TFileDialogs* fileDialogs,
                     QWidget* parent)
    : TBaseForm(parent), session_(session), formDialogs_(this) {
  if (userDialogs == nullptr) {
    ownUserDialogs_ = std::make_unique<TQtUserDialogs>(this);
    userDialogs = ownUserDialogs_.get();
  }
  if (fileDialogs == nullptr) {
    ownFileDialogs_ = std::make_unique<TQtFileDialogs>(this);
    fileDialogs = ownFileDialogs_.get();
  }
  userDialogs_ = userDialogs;
  fileDialogs_ = fileDialogs;

  setObjectName("RainForm");
  setWindowTitle(T::kCaption);
  resize(kDesignedWidth, kDesignedHeight);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  setCentralWidget(PageControl1);

  CreateMenuAndActions();
  CreateTableCommands();
  CreateTabs();
  CreateWorkBar();
  CreateUnsavedWatch();

  // FormCreate: the first tab, whatever was active before.
  PageControl1->setCurrentIndex(0);
  shownTab_ = 0;

  StartDir = LocalFileName(QDir::currentPath());
  const QString start = QtFileName(StartDir);
  InputOpenDialog = {"InputOpenDialog", TFileDialogKind::Open, T::kInputFilter, "inp", start};
  InputSaveDialog = {"InputSaveDialog", TFileDialogKind::Save, T::kInputFilter, "inp", start};
  OutputOpenDialog = {"OutputOpenDialog", TFileDialogKind::Open, T::kOutputFilter, ".out", start};
  GraphOpenDialog = {"GraphOpenDialog", TFileDialogKind::Open, T::kGraphOpenFilter, "bmp",
                     QDir::currentPath()};
  GraphSaveDialog = {"GraphSaveDialog", TFileDialogKind::Save, T::kGraphSaveFilter, "bmp",
                     QDir::currentPath()};

  OutputShown = false;
  CreateFileHabits();

  inputTab_->HideFileName();
  ArrangeTabs();

  StartDecimalSeparator = CurrentDecimalSeparator;

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    PlaceWindow(screen->geometry().width());
    FitIntoScreen();
  }

  connect(PageControl1, &QTabWidget::currentChanged, this, &TRainForm::TabChanged);
}

TRainForm::~TRainForm() {
  // The tabs and fields go after this object's own part: their last signals
  // must not reach it.
  for (QObject* child : findChildren<QObject*>())
    QObject::disconnect(child, nullptr, this, nullptr);
  // The tabs go first, while the window they call is whole.
  delete inputTab_;
  delete outputTab_;
  delete graphicsTab_;
}

void TRainForm::CreateTabs() {
  IntroTabSheet = new QWidget;
  IntroTabSheet->setObjectName("IntroTabSheet");
  FigureTabSheet = new QWidget;
  FigureTabSheet->setObjectName("FigureTabSheet");

  IntroPage = new TIntroPage(IntroTabSheet);
  FigurePage = new TFigurePage(formDialogs_, FigureTabSheet);
  for (QWidget* page : {static_cast<QWidget*>(IntroPage), static_cast<QWidget*>(FigurePage)}) {
    page->move(0, 0);
  }

  inputTab_ = new TInputTab(*this, InputOpenAction, InputSaveAction);
  inputTab_->SetEditActions(EditCut1, EditCopy1, EditPaste1, EditDelete1);
  InputTabSheet = inputTab_;
  connect(inputTab_, &TInputTab::HelpClicked, this, [this] { HelpButtonClick(); });
  connect(inputTab_, &TInputTab::AlfaClicked, this, [this] { AlfaButtonClick(); });
  outputTab_ = new TOutputTab(*this, OutputOpenAction, TableExportAction);
  OutputTabSheet = outputTab_;
  connect(outputTab_, &TOutputTab::ViewGraphClicked, this,
          [this] { Guarded([this] { ViewGraphButtonClick(); }); });

  graphicsTab_ = new TGraphicsTab(*this, GraphOpenAction, OutputOpenForGraphics, GraphSaveAction);
  GraphicsTabSheet = graphicsTab_;
  connect(graphicsTab_, &TGraphicsTab::BlackAndWhiteSaveClicked, this,
          [this] { BlWhButtonClick(); });
  connect(graphicsTab_, &TGraphicsTab::CommentClicked, this, [this] { CommentButtonClick(); });

  PageControl1->addTab(IntroTabSheet, T::kIntroTab);
  PageControl1->addTab(FigureTabSheet, T::kFigureTab);
  PageControl1->addTab(InputTabSheet, T::kInputTab);
  PageControl1->addTab(OutputTabSheet, T::kOutputTab);
  PageControl1->addTab(GraphicsTabSheet, T::kGraphicsTab);
}

void TRainForm::PlaceWindow(int screenWidth) {
  const TWindowPlacement placement = WindowPlacement(screenWidth, kDesignedWidth);
  setGeometry(placement.Left, kWindowTop, placement.Width, height());
}

void TRainForm::CreateMenuAndActions() {
  auto makeAction = [this](const char* name, const char* caption) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(name);
    addAction(action);  // short-cuts work wherever the focus is in the window
    return action;
  };
  EditCut1 = makeAction("EditCut1", T::kEditCut);
  EditCut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  SetHint(EditCut1, T::kEditCutHint);
  EditCopy1 = makeAction("EditCopy1", T::kEditCopy);
  EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  SetHint(EditCopy1, T::kEditCopyHint);
  EditPaste1 = makeAction("EditPaste1", T::kEditPaste);
  EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  SetHint(EditPaste1, T::kEditPasteHint);
  EditDelete1 = makeAction("EditDelete1", T::kEditDelete);
  EditDelete1->setShortcut(QKeySequence(Qt::Key_Delete));
  SetHint(EditDelete1, T::kEditDeleteHint);
  FileExit1 = makeAction("FileExit1", T::kFileExit);
  SetHint(FileExit1, T::kFileExitHint);
  InputSaveAction = makeAction("InputSaveAction", T::kInputSave);
  InputOpenAction = makeAction("InputOpenAction", T::kInputOpen);
  OutputOpenAction = makeAction("OutputOpenAction", T::kOutputOpen);
  GraphOpenAction = makeAction("GraphOpenAction", T::kGraphOpen);
  OutputOpenForGraphics = makeAction("OutputOpenForGraphics", T::kOutputOpenForGraphics);
  GraphSaveAction = makeAction("GraphSaveAction", T::kGraphSave);

  connect(EditCut1, &QAction::triggered, this, [this] { EditCut1Execute(); });
  connect(EditCopy1, &QAction::triggered, this, [this] { EditCopy1Execute(); });
  connect(EditPaste1, &QAction::triggered, this, [this] { EditPaste1Execute(); });
  connect(EditDelete1, &QAction::triggered, this, [this] { EditDelete1Execute(); });
  connect(FileExit1, &QAction::triggered, this, [this] { FileExit1Execute(); });
  connect(InputSaveAction, &QAction::triggered, this, [this] { InputSaveActionExecute(); });
  connect(InputOpenAction, &QAction::triggered, this, [this] { InputOpenActionExecute(); });
  connect(OutputOpenAction, &QAction::triggered, this, [this] { OutputOpenActionExecute(); });
  connect(GraphOpenAction, &QAction::triggered, this, [this] { GraphOpenActionExecute(); });
  connect(OutputOpenForGraphics, &QAction::triggered, this,
          [this] { OutputOpenForGraphicsExecute(); });
  connect(GraphSaveAction, &QAction::triggered, this, [this] { GraphSaveActionExecute(); });

  FileMenu = menuBar()->addMenu(T::kFileMenu);
  FileMenu->setObjectName("FileMenu");
  auto addItem = [](QMenu* menu, const char* name, QAction* action) {
    menu->addAction(action);
    // The menu item is the action itself; its name is kept for reference.
    action->setProperty("menuItem", QString::fromUtf8(name));
  };
  addItem(FileMenu, "InputOpenMenu", InputOpenAction);
  addItem(FileMenu, "OutputOpenMenu", OutputOpenAction);
  addItem(FileMenu, "GraphOpenMenu", GraphOpenAction);
  addItem(FileMenu, "InputSaveMenu", InputSaveAction);
  addItem(FileMenu, "Savegraph", GraphSaveAction);
  // "Program e&Xit" is the menu item's own caption; it runs FileExit1.
  QAction* programExit = FileMenu->addAction(T::kProgramExit);
  programExit->setObjectName("ProgramExit");
  connect(programExit, &QAction::triggered, FileExit1, &QAction::trigger);
  connect(FileExit1, &QAction::changed, programExit,
          [programExit, this] { programExit->setEnabled(FileExit1->isEnabled()); });

  EditMenu = menuBar()->addMenu(T::kEditMenu);
  EditMenu->setObjectName("EditMenu");
  addItem(EditMenu, "Copy", EditCopy1);
  addItem(EditMenu, "Cut", EditCut1);
  addItem(EditMenu, "Paste", EditPaste1);
}

void TRainForm::SetCompanions(QWidget* finishForm, QWidget* helpForm, QWidget* commentForm,
                              QWidget* alfaForm) {
  finishForm_ = finishForm;
  helpForm_ = helpForm;
  commentForm_ = commentForm;
  alfaForm_ = alfaForm;
}

void TRainForm::SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                                  const QString& porosity) {
  inputTab_->SetDrainageFields(bCoefficient, fValue, porosity);
}

void TRainForm::HideCompanion(QWidget* window) {
  if (window != nullptr) window->hide();
}

void TRainForm::ShowCompanion(QWidget* window) {
  if (window == nullptr) return;
  // Opened where the user looks: on the main window, inside the screen.
  if (!window->isVisible()) CentreOnOwner(window, this);
  window->show();
  window->raise();
  window->activateWindow();
}

void TRainForm::HideComment() {
  HideCompanion(commentForm_);
  graphicsTab_->EnableComment(false);
}

void TRainForm::SetDialogDirs(const std::string& dir) {
  const QString directory = QtFileName(dir);
  for (TFileDialog* dialog :
       {&InputOpenDialog, &InputSaveDialog, &OutputOpenDialog, &GraphOpenDialog, &GraphSaveDialog,
        &TableImportDialog, &TableExportDialog}) {
    dialog->InitialDir = directory;
  }
  if (recentFiles_) recentFiles_->SetLastFolder(directory);
}

// ---------------------------------------------------------------------------
// Tabs

void TRainForm::showEvent(QShowEvent* event) {
  TBaseForm::showEvent(event);
  if (firstShow_) {
    firstShow_ = false;
    // The data module exists by now: the Intro tab is shown with its handler.
    if (PageControl1->currentWidget() == IntroTabSheet) Guarded([this] { IntroTabSheetShow(); });
  }
}

void TRainForm::TabChanged(int index) {
  if (index == shownTab_) return;
  shownTab_ = index;
  QWidget* page = PageControl1->widget(index);
  Guarded([this, page] {
    if (page == IntroTabSheet) IntroTabSheetShow();
    if (page == InputTabSheet) InputTabSheetShow();
    if (page == OutputTabSheet) OutputTabSheetShow();
    if (page == GraphicsTabSheet) GraphicsTabSheetShow();
  });
}

void TRainForm::ShowTab(QWidget* page) {
  if (PageControl1->currentWidget() != page) {
    PageControl1->setCurrentWidget(page);
    return;
  }
  if (page == IntroTabSheet) IntroTabSheetShow();
  if (page == InputTabSheet) InputTabSheetShow();
  if (page == OutputTabSheet) OutputTabSheetShow();
  if (page == GraphicsTabSheet) GraphicsTabSheetShow();
}

void TRainForm::InputTabSheetShow() {
  ShowStatus(T::kInputStatus);
  InputSaveAction->setEnabled(true);
  GraphSaveAction->setEnabled(false);
  graphicsTab_->SetGraphReady(false);
  HideComment();
  // Defaults that the tab fills in are no change of the user's.
  const bool unchanged = !InputChanged();
  inputTab_->TabShown();
  if (unchanged) MarkInputSaved(currentFile_);
}

void TRainForm::SelectTab(QWidget* page) {
  PageControl1->setCurrentWidget(page);
}

void TRainForm::IntroTabSheetShow() {
  TDMTevlora& d = session_.Data;
  if (inputTab_->AnalysisChosen()) {
    d.Analysis = true;
    d.RunKind = " Ana";
    d.AlphaKind = " Lin";
    inputTab_->SetAlfaNoteVisible(false);
  } else {
    d.Analysis = false;
    d.RunKind = " Pre";
    inputTab_->SetAlfaNoteVisible(true);
  }
  ShowStatus(T::kIntroStatus);
  InputSaveAction->setEnabled(false);
  GraphSaveAction->setEnabled(false);
  IntroPage->BackButtonClick();
  HideComment();
  graphicsTab_->SetGraphReady(false);
  // The same defaults as the fields start with, so both agree from the start.
  if (d.MaxStorage == 0) d.MaxStorage = ReservoirDefaults::kMaxStorage;
  if (d.InitStorage == 0) d.InitStorage = ReservoirDefaults::kInitStorage;
  if (d.MaxEscape == 0) d.MaxEscape = ReservoirDefaults::kMaxEscape;
}

// ---------------------------------------------------------------------------
// Closing

void TRainForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  // Long work is cancelled first; the window closes when asked again.
  if (worker_->Busy()) {
    worker_->Cancel();
    return;
  }
  if (!MayClose()) return;
  // Only the finish window ends the program.
  ShowCompanion(finishForm_);
}

void TRainForm::EditCut1Execute() {
  inputTab_->EditCut();
}

void TRainForm::EditCopy1Execute() {
  inputTab_->EditCopy();
}

void TRainForm::EditPaste1Execute() {
  inputTab_->EditPaste();
}

void TRainForm::EditDelete1Execute() {
  inputTab_->EditDelete();
}

void TRainForm::FileExit1Execute() {
  close();
}

void TRainForm::HelpButtonClick() {
  ShowCompanion(helpForm_);
}

void TRainForm::AlfaButtonClick() {
  ShowCompanion(alfaForm_);
}

void TRainForm::CommentButtonClick() {
  ShowCompanion(commentForm_);
}
