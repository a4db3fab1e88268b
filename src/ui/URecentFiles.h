// The files the user worked on last and the folder they were in, kept
// between sessions in the program's settings.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

class TRecentFiles {
 public:
  static constexpr int kMaxFiles = 8;

  explicit TRecentFiles(QSettings& settings) : settings_(settings) {}
  // The most recent first; files that are gone are left out.
  QStringList Files() const;
  // `file` goes to the front, once; the oldest beyond kMaxFiles drop out.
  void Add(const QString& file);
  // The folder last opened or saved in; empty when it is gone.
  QString LastFolder() const;
  void SetLastFolder(const QString& folder);

 private:
  QSettings& settings_;
};
