// Base window of the main and the finish window: one status bar with one text.
#pragma once

#include <QMainWindow>
#include <QStatusBar>

// A status bar whose one text wraps onto more lines when the window is too
// narrow for it, instead of being cut off.
class TStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* parent = nullptr);
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // Where the text goes in a bar of this width.
  QRect TextRect(int width) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

class TBaseForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TBaseForm(QWidget* parent = nullptr);
  // Puts `text` into the status bar and repaints the window at once.
  void ShowStatus(const QString& text);

  TStatusBar* StatusBar1;

 protected:
  // A menu hint shows for as long as the pointer rests on the item; then the
  // status text comes back.
  bool event(QEvent* event) override;

 private:
  QString statusText_;
};
