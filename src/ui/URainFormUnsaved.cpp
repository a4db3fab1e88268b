// Unsaved work: what the Input tab held when it was last opened, saved or
// cleared; the questions of Clear all and of closing; Undo clear all; the
// window's title with the file's name and a mark for unsaved changes.
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UInputTab.h"
#include "URainForm.h"

namespace T = RainFormTexts;

namespace {
// The named line edits of the tab (not a cell's editor, which has no name).
std::vector<QLineEdit*> Fields(const QWidget& tab) {
  std::vector<QLineEdit*> fields;
  for (QLineEdit* edit : tab.findChildren<QLineEdit*>()) {
    if (!edit->objectName().isEmpty() && !edit->parent()->inherits("QComboBox")) {
      fields.push_back(edit);
    }
  }
  return fields;
}
}  // namespace

void TRainForm::CreateUnsavedWatch() {
  UndoClearAction = new QAction(QString::fromUtf8(T::kUndoClearAll), this);
  UndoClearAction->setObjectName("UndoClearAction");
  UndoClearAction->setEnabled(false);
  EditMenu->addSeparator();
  EditMenu->addAction(UndoClearAction);
  connect(UndoClearAction, &QAction::triggered, this,
          [this] { Guarded([this] { UndoClearAll(); }); });

  // The title follows the tab once the changes of a turn are all made.
  titleTimer_ = new QTimer(this);
  titleTimer_->setSingleShot(true);
  titleTimer_->setInterval(0);
  connect(titleTimer_, &QTimer::timeout, this, &TRainForm::UpdateTitle);
  const auto changed = [this] { titleTimer_->start(); };
  for (QLineEdit* edit : Fields(*inputTab_)) connect(edit, &QLineEdit::textChanged, this, changed);
  for (QComboBox* box : inputTab_->findChildren<QComboBox*>()) {
    connect(box, &QComboBox::currentIndexChanged, this, changed);
  }
  auto* grid = inputTab_->findChild<TStringGrid*>("StringGrid1");
  connect(grid, &QTableWidget::itemChanged, this, changed);
  connect(grid->model(), &QAbstractItemModel::rowsInserted, this, changed);
  connect(grid->model(), &QAbstractItemModel::rowsRemoved, this, changed);
  MarkInputSaved({});
}

QString TRainForm::InputFingerprint() const {
  QString print;
  for (const QLineEdit* edit : Fields(*inputTab_)) {
    print += edit->objectName() + '=' + edit->text() + '\n';
  }
  for (const QComboBox* box : inputTab_->findChildren<QComboBox*>()) {
    print += box->objectName() + '=' + QString::number(box->currentIndex()) + '\n';
  }
  const auto* grid = inputTab_->findChild<TStringGrid*>("StringGrid1");
  for (int r = 0; r < grid->RowCount(); ++r) {
    for (int c = 0; c < grid->ColCount(); ++c) print += grid->Cells(c, r) + '\t';
    print += '\n';
  }
  return print;
}

void TRainForm::MarkInputSaved(const std::string& fileName) {
  savedInput_ = InputFingerprint();
  currentFile_ = fileName;
  UpdateTitle();
}

void TRainForm::UpdateTitle() {
  const bool changed = InputChanged();
  const QString caption = QString::fromUtf8(T::kCaption);
  if (currentFile_.empty()) {
    setWindowTitle(caption + "[*]");
  } else {
    setWindowTitle(QFileInfo(QtFileName(currentFile_)).fileName() + "[*]" + T::kTitleSeparator +
                   caption);
  }
  setWindowModified(changed);
  // Undo clear all stays until the emptied tab is written into.
  if (cleared_ && changed) cleared_.reset();
  UndoClearAction->setEnabled(cleared_ != nullptr);
}

bool TRainForm::ClearAllAllowed() {
  if (InputChanged() && !session_.Data.ConfirmYesNo(T::kClearAllAsked)) return false;
  auto kept = std::make_unique<TClearedInput>();
  kept->Data = session_.Data;
  kept->GridHasData = inputTab_->GridHasData;
  kept->AnalysisOutFound = inputTab_->AnalysisOutFound;
  kept->FileIsAnalysis = inputTab_->FileIsAnalysis;
  kept->BaseCount = inputTab_->BaseCount;
  kept->TypedCount = inputTab_->TypedCount;
  kept->FileShown = !inputTab_->findChild<QLineEdit*>("FileNameEdit")->isHidden();
  for (QLineEdit* edit : Fields(*inputTab_)) kept->Texts.emplace_back(edit, edit->text());
  const auto* grid = inputTab_->findChild<TStringGrid*>("StringGrid1");
  kept->Rows = grid->RowCount();
  for (int r = 0; r < grid->RowCount(); ++r) {
    for (int c = 0; c < 4; ++c) kept->Cells.push_back(grid->Cells(c, r));
  }
  kept->File = currentFile_;
  cleared_ = std::move(kept);
  return true;
}

void TRainForm::InputCleared() {
  auto kept = std::move(cleared_);
  MarkInputSaved({});
  cleared_ = std::move(kept);
  UndoClearAction->setEnabled(cleared_ != nullptr);
}

void TRainForm::UndoClearAll() {
  if (!cleared_) return;
  const std::unique_ptr<TClearedInput> kept = std::move(cleared_);
  TUserDialogs* const dialogs = session_.Data.Dialogs;
  session_.Data = kept->Data;
  session_.Data.Dialogs = dialogs;
  inputTab_->GridHasData = true;
  inputTab_->ShowDataSet();
  inputTab_->GridHasData = kept->GridHasData;
  inputTab_->AnalysisOutFound = kept->AnalysisOutFound;
  inputTab_->FileIsAnalysis = kept->FileIsAnalysis;
  inputTab_->BaseCount = kept->BaseCount;
  inputTab_->TypedCount = kept->TypedCount;
  // What was typed but not yet saved comes back as typed.
  for (const auto& [edit, text] : kept->Texts) edit->setText(text);
  auto* grid = inputTab_->findChild<TStringGrid*>("StringGrid1");
  grid->SetRowCount(kept->Rows);
  for (int r = 0; r < kept->Rows; ++r) {
    for (int c = 0; c < 4; ++c)
      grid->SetCells(c, r, kept->Cells[static_cast<std::size_t>(r) * 4 + c]);
  }
  if (kept->FileShown) {
    inputTab_->ShowFileName();
  } else {
    inputTab_->HideFileName();
  }
  currentFile_ = kept->File;
  UpdateTitle();
}

bool TRainForm::MayClose() {
  if (!InputChanged()) return true;
  const std::optional<bool> save = formDialogs_.AskSaveChanges(T::kCloseAsked);
  if (!save) return false;
  if (!*save) return true;
  InputSaveActionExecute();
  return !InputChanged();
}
