// The file habits of the window: key shortcuts of the file commands, the
// recent files and the last folder kept between sessions, and a file dropped
// on the window opened as Open input (an input file) or Import table does.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>

#include "UFormHelpers.h"
#include "UInputTab.h"
#include "URainForm.h"
#include "URecentFiles.h"

namespace T = RainFormTexts;

namespace {
// What a dropped file is opened as: an input file or a table; nothing else.
enum class TDropKind { None, Input, Table };

TDropKind DropKindOf(const QMimeData* data) {
  if (data == nullptr || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
    return TDropKind::None;
  }
  const QString suffix = QFileInfo(data->urls().front().toLocalFile()).suffix().toLower();
  if (suffix == "inp") return TDropKind::Input;
  if (suffix == "csv" || suffix == "txt" || suffix == "tsv") return TDropKind::Table;
  return TDropKind::None;
}
}  // namespace

void TRainForm::CreateFileHabits() {
  InputOpenAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  InputSaveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  TableImportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  addAction(TableImportAction);
  TableExportAction->setEnabled(false);

  settings_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "TevloraT",
                                          "TevloraT");
  recentFiles_ = std::make_unique<TRecentFiles>(*settings_);
  RecentFilesMenu = new QMenu(QString::fromUtf8(T::kRecentFiles), this);
  RecentFilesMenu->setObjectName("RecentFilesMenu");
  FileMenu->insertMenu(findChild<QAction*>("ProgramExit"), RecentFilesMenu);
  ShowRecentFiles();
  if (const QString folder = recentFiles_->LastFolder(); !folder.isEmpty()) {
    SetDialogDirs(LocalFileName(folder));
  }
  setAcceptDrops(true);
}

void TRainForm::ShowRecentFiles() {
  RecentFilesMenu->clear();
  const QStringList files = recentFiles_->Files();
  for (int k = 0; k < files.size(); ++k) {
    const QString file = files[k];
    QAction* entry = RecentFilesMenu->addAction(
        QStringLiteral("&%1 %2").arg(k + 1).arg(QFileInfo(file).fileName()));
    entry->setData(file);
    entry->setStatusTip(file);
    connect(entry, &QAction::triggered, this,
            [this, file] { OpenWithoutDialog(InputOpenAction, InputOpenDialog, file); });
  }
  RecentFilesMenu->setEnabled(!files.isEmpty());
}

void TRainForm::RememberFile(const std::string& fileName) {
  recentFiles_->Add(QtFileName(fileName));
  ShowRecentFiles();
}

void TRainForm::OpenWithoutDialog(QAction* action, const TFileDialog& dialog, const QString& file) {
  if (!action->isEnabled()) return;
  presetDialog_ = dialog.Name;
  presetFile_ = file;
  action->trigger();
  presetDialog_.clear();
}

void TRainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (DropKindOf(event->mimeData()) != TDropKind::None) event->acceptProposedAction();
}

void TRainForm::dropEvent(QDropEvent* event) {
  const TDropKind kind = DropKindOf(event->mimeData());
  if (kind == TDropKind::None) return;
  event->acceptProposedAction();
  const QString file = event->mimeData()->urls().front().toLocalFile();
  if (kind == TDropKind::Input) {
    OpenWithoutDialog(InputOpenAction, InputOpenDialog, file);
  } else {
    OpenWithoutDialog(TableImportAction, TableImportDialog, file);
  }
}
