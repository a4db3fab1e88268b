// The start-help window: units, pasting and calibration in brief. It is
// shown, not modal, from the Input tab's "Start help, units" button.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace HelpTexts {
inline constexpr const char* kCaption = "Start help";
extern const char* const kHelpMemo;
}  // namespace HelpTexts

class THelpForm : public QWidget {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* parent = nullptr);

  QPlainTextEdit* HelpMemo;

 public slots:
  // Shows the window (or brings it to the front when it is open already).
  void ShowHelp();
};
