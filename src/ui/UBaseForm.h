// Base window of the main and the finish window: one status bar with one text.
#pragma once

#include <QMainWindow>
#include <QStatusBar>

class TBaseForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TBaseForm(QWidget* parent = nullptr);
  void ShowStatus(const QString& text);

 protected:
  QStatusBar* StatusBar1;
};
