// What the tabs of the main window share: the window they live in, seen
// through the little they ask of it (the session shown, the messages, the
// status line), and what the window asks of each tab.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "USession.h"
#include "UserDialogs.h"

class QAction;
class TJobControl;

// Long work of the window: it talks to the user through `dialogs` only.
using TWindowJob = std::function<void(TUserDialogs& dialogs, TJobControl& control)>;

// The window as a tab sees it.
class TRainFormHost {
 public:
  virtual ~TRainFormHost() = default;
  // The session the window shows.
  virtual TSession& Session() = 0;
  // The messages and questions of the window (progress lines included).
  virtual TUserDialogs& FormDialogs() = 0;
  // Runs a command; a runtime input/output error ends it with its message.
  virtual void Guarded(const std::function<void()>& command) = 0;
  virtual void ShowStatus(const QString& text) = 0;
  // The comment window of the discharge-recharge graph goes, and its button
  // is disabled.
  virtual void HideComment() = 0;
  // Typed numbers are read with the decimal separator of the locale again.
  virtual void RestoreDecimalSeparator() = 0;
  // Where the program started: the file name of a cleared data set.
  virtual std::string StartDirectory() const = 0;
  // The drainage calculator shown, hidden, or its inputs cleared.
  virtual void ShowCalculator() = 0;
  virtual void HideCalculator() = 0;
  virtual void ClearCalculator() = 0;
  // Brings a tab to the front without running its shown-handler again.
  virtual void SelectTab(QWidget* page) = 0;
  // Runs long work off the window's thread with the progress bar and
  // Cancel, the window alive meanwhile. The job gets dialogs that it may use
  // from its thread, and its control (whether to stop, the share done).
  // False when cancelled (or while other work runs); the job's exception is
  // thrown again here.
  virtual bool RunJob(const TWindowJob& job) = 0;
  // Before Clear all: asks when the data set has unsaved changes and keeps
  // it for Undo; false leaves everything as it is. After: the empty data set
  // is the one to compare with.
  virtual bool ClearAllAllowed() = 0;
  virtual void InputCleared() = 0;
};

// One tab of the main window: its controls are its own; the window shows it
// and calls its operations.
class TRainFormTab : public QWidget {
  Q_OBJECT
 public:
  TRainFormTab(TRainFormHost& host, const char* name);
  // Lays out the tab's controls for a window that grows and shrinks, and
  // gives its buttons their keyboard letters.
  virtual void Arrange() = 0;

 protected:
  void Message(const std::string& text) { host_.FormDialogs().Message(text); }
  TSession& session() { return host_.Session(); }
  const TSession& session() const { return host_.Session(); }
  TRainFormHost& host_;
};

// A button that runs an action and is enabled with it; it takes the action's
// caption when it has none of its own.
void BindButton(QPushButton* button, QAction* action);
