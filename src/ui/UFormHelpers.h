// Small helpers shared by the parts of the main window.
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRect>
#include <filesystem>
#include <string>

// Paths pass between Qt and standard C++ in the encoding the operating
// system gives file names, not as UTF-8 text.
inline std::string LocalFileName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}
inline QString QtFileName(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}

inline bool FileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_regular_file(name, error);
}

// The folder of a file, for the file dialogs.
inline std::string DirectoryOf(const std::string& fileName) {
  return LocalFileName(QFileInfo(QtFileName(fileName)).absolutePath());
}

inline QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                               QRect geometry) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  return button;
}
