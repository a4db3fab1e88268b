#include "URecentFiles.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* const kFilesKey = "RecentFiles";
const char* const kFolderKey = "LastFolder";
}  // namespace

QStringList TRecentFiles::Files() const {
  QStringList files;
  for (const QString& file : settings_.value(kFilesKey).toStringList()) {
    if (QFileInfo(file).isFile()) files.append(file);
  }
  return files;
}

void TRecentFiles::Add(const QString& file) {
  const QString path = QFileInfo(file).absoluteFilePath();
  QStringList files = settings_.value(kFilesKey).toStringList();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kMaxFiles) files.removeLast();
  settings_.setValue(kFilesKey, files);
  settings_.sync();
}

QString TRecentFiles::LastFolder() const {
  const QString folder = settings_.value(kFolderKey).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TRecentFiles::SetLastFolder(const QString& folder) {
  settings_.setValue(kFolderKey, QDir(folder).absolutePath());
  settings_.sync();
}
