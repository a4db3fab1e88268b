#include "UWindowDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QThread>

#include "ImportDialog.h"
#include "UWindowLayout.h"

QString DialogNameFilter(const QString& filter) {
  // "Name (*.a)|*.a|Other (*.b)|*.b": every name, as the dialog lists them.
  const QStringList parts = filter.split('|');
  QStringList names;
  for (qsizetype i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(QStringLiteral(";;"));
}

QString WithDefaultExt(const QString& fileName, const QString& defaultExt) {
  QString extension = defaultExt;
  while (extension.startsWith('.')) extension.remove(0, 1);
  if (extension.isEmpty() || fileName.isEmpty()) return fileName;
  if (!QFileInfo(fileName).suffix().isEmpty()) return fileName;
  return fileName + '.' + extension;
}

bool TQtFileDialogs::Execute(const TFileDialog& dialog, QString& fileName) {
  QFileDialog box(parent_);
  box.setObjectName(dialog.Name);
  box.setAcceptMode(dialog.Kind == TFileDialogKind::Save ? QFileDialog::AcceptSave
                                                         : QFileDialog::AcceptOpen);
  box.setFileMode(dialog.Kind == TFileDialogKind::Save ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
  // The program asks its own overwrite question.
  box.setOption(QFileDialog::DontConfirmOverwrite, true);
  box.setNameFilter(DialogNameFilter(dialog.Filter));
  QString extension = dialog.DefaultExt;
  while (extension.startsWith('.')) extension.remove(0, 1);
  box.setDefaultSuffix(extension);
  // A name typed without an extension takes that of the type chosen.
  QObject::connect(&box, &QFileDialog::filterSelected, &box, [&box](const QString& chosen) {
    const qsizetype star = chosen.indexOf(QStringLiteral("*."));
    if (star < 0) return;
    qsizetype end = star + 2;
    while (end < chosen.size() && chosen[end].isLetterOrNumber()) ++end;
    box.setDefaultSuffix(chosen.mid(star + 2, end - star - 2));
  });
  box.setDirectory(dialog.InitialDir);
  if (!dialog.ProposedName.isEmpty()) box.selectFile(dialog.ProposedName);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  fileName = box.selectedFiles().constFirst();
  return true;
}

void TQtUserDialogs::Message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                  QString::fromStdString(text), QMessageBox::Ok, parent_);
  WidenForCaption(box);
  box.exec();
}

bool TQtUserDialogs::ConfirmYesNo(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, parent_);
  WidenForCaption(box);
  return box.exec() == QMessageBox::Yes;
}

std::optional<double> TQtUserDialogs::AskNumber(const std::string& question, double initial) {
  bool given = false;
  const double value =
      QInputDialog::getDouble(parent_, QApplication::applicationName(),
                              QString::fromStdString(question), initial, -1e9, 1e9, 4, &given);
  if (!given) return std::nullopt;
  return value;
}

void TQtUserDialogs::Pause(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

bool TFileDialogs::ExecuteImport(TImportDialog& dialog) {
  return dialog.exec() == QDialog::Accepted;
}

std::optional<bool> TQtUserDialogs::AskSaveChanges(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  QString::fromStdString(question),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return true;
    case QMessageBox::Discard:
      return false;
    default:
      return std::nullopt;
  }
}
