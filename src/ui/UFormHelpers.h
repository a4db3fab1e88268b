// Small helpers shared by the parts of the main window.
#pragma once

#include <QFileInfo>
#include <QPushButton>
#include <QRect>
#include <filesystem>
#include <string>

inline bool FileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_regular_file(name, error);
}

// The folder of a file, for the file dialogs.
inline std::string DirectoryOf(const std::string& fileName) {
  return QFileInfo(QString::fromStdString(fileName)).absolutePath().toStdString();
}

inline QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                               QRect geometry) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  return button;
}
