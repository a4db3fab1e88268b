// Base window of the main and the finish window: one status bar with one text.
#pragma once

#include <QMainWindow>
#include <QStatusBar>

class TBaseForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TBaseForm(QWidget* parent = nullptr);
  // Puts `text` into the status bar and repaints the window at once.
  void ShowStatus(const QString& text);

  QStatusBar* StatusBar1;

 protected:
  // A menu hint shows for as long as the pointer rests on the item; then the
  // status text comes back.
  bool event(QEvent* event) override;

 private:
  QString statusText_;
};
