// The finish window: the one way out of the program. Closing the main window
// shows it; its Finish button, or closing it, ends the application.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "UBaseForm.h"

namespace FinishTexts {
inline constexpr const char* kCaption = "Tevlora finish";
inline constexpr const char* kButton = "Finish";
inline constexpr const char* kStatus = "Click on the Finish button to end program";
extern const char* const kFinishMemo;
}  // namespace FinishTexts

class TFinishForm : public TBaseForm {
  Q_OBJECT
 public:
  explicit TFinishForm(QWidget* parent = nullptr);

  QPlainTextEdit* FinishMemo;
  QPushButton* FinishButton;

  // Ends the application; by default it leaves the event loop. Tests put in
  // their own to see that it is called without quitting.
  std::function<void()> Terminate;

 public slots:
  // What the main window calls when it is closed: shows this window again,
  // the same one every time.
  void ShowFinish();
  void FinishButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormShow();
};
