// How the windows talk to the user: the file dialogs behind a small interface
// (so that a test can answer them), and the message boxes, Yes/No questions
// and blocking waits of the core's TUserDialogs.
#pragma once

#include <QString>
#include <QWidget>

#include "UserDialogs.h"

enum class TFileDialogKind { Open, Save };

// One of the window's file dialogs: what it asks for and where it starts.
// Filters are written as "Input files (*.inp)|*.inp" (description, bar,
// patterns).
struct TFileDialog {
  QString Name;  // "InputOpenDialog", ...
  TFileDialogKind Kind = TFileDialogKind::Open;
  QString Filter;
  QString DefaultExt;  // "inp" or ".out": added when the name has none
  QString InitialDir;
  QString ProposedName;  // a Save dialog's name to start with (no folder)
};

class TImportDialog;

class TFileDialogs {
 public:
  virtual ~TFileDialogs() = default;
  // Runs the dialog; true with `fileName` set when the user chose a file.
  virtual bool Execute(const TFileDialog& dialog, QString& fileName) = 0;
  // Runs the import dialog of a table chosen; true when the user imported.
  virtual bool ExecuteImport(TImportDialog& dialog);
};

// The description parts of a filter, as a file dialog shows them:
// "Input files (*.inp)|*.inp" gives "Input files (*.inp)"; several types
// ("A (*.a)|*.a|B (*.b)|*.b") give "A (*.a);;B (*.b)".
QString DialogNameFilter(const QString& filter);
// `fileName` with the dialog's default extension added when it has none.
QString WithDefaultExt(const QString& fileName, const QString& defaultExt);

class TQtFileDialogs : public TFileDialogs {
 public:
  explicit TQtFileDialogs(QWidget* parent) : parent_(parent) {}
  bool Execute(const TFileDialog& dialog, QString& fileName) override;

 private:
  QWidget* parent_;
};

// Modal message boxes with an OK button, Yes/No questions with a question
// icon, and plain blocking sleeps. Progress lines are left to the window that
// owns the memo.
class TQtUserDialogs : public TUserDialogs {
 public:
  explicit TQtUserDialogs(QWidget* parent) : parent_(parent) {}
  void Message(const std::string& text) override;
  bool ConfirmYesNo(const std::string& question) override;
  void Progress(const std::string&) override {}
  void Pause(int milliseconds) override;
  std::optional<double> AskNumber(const std::string& question, double initial) override;
  std::optional<bool> AskSaveChanges(const std::string& question) override;

 private:
  QWidget* parent_;
};
