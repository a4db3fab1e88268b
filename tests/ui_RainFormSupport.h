// Shared fixture of the main-window tests: a real TRainForm (offscreen) with
// scripted answers to its messages and file dialogs, and a fresh session.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ImportDialog.h"
#include "TestSupport.h"
#include "UDMTevlora.h"
#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "URainForm.h"
#include "USession.h"
#include "UWindowDialogs.h"
#include "ui_Application.h"

// Answers the file dialogs from a script (nullopt: the user cancels) and
// remembers which dialogs ran with which settings.
class TScriptedFileDialogs : public TFileDialogs {
 public:
  bool Execute(const TFileDialog& dialog, QString& fileName) override;
  // The import dialog: `importScript` makes the user's choices, then Import
  // is pressed; a table that cannot be imported is cancelled. What the
  // dialog showed last is kept.
  bool ExecuteImport(TImportDialog& dialog) override;
  std::deque<std::optional<QString>> answers;
  std::vector<TFileDialog> runs;
  std::function<void(TImportDialog&)> importScript;
  std::string importReport;
};

// A control of the window by its object name (the name of the control in the
// program). The tabs keep their controls to themselves; tests reach them so.
// A missing, ambiguous or differently typed control fails the test.
template <class TControl>
TControl* Widget(const QObject& window, const char* name) {
  const auto controls = window.findChildren<TControl*>(QString::fromLatin1(name));
  if (controls.size() != 1) {
    ADD_FAILURE() << controls.size() << " controls named " << name;
    throw std::runtime_error(std::string("no one control named ") + name);
  }
  return controls.front();
}

class RainFormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies an example file (and its .par, if asked) into the temporary
  // directory; returns the copy's path.
  std::string CopyExample(const std::string& name, bool withPar = false);
  // Scripts the next file dialog.
  void Choose(const std::string& fileName) {
    files.answers.push_back(QString::fromStdString(fileName));
  }
  void Cancel() { files.answers.push_back(std::nullopt); }
  // Opens an input file through the window's Open input.
  void OpenInput(const std::string& fileName);
  // Goes to a tab as the user does, by its tab.
  void ShowTab(QWidget* page);
  // Types `text` into a grid cell through the in-place editor and confirms.
  void TypeCell(int column, int row, const QString& text);
  // Types into a field and leaves it (the field's exit check runs).
  void TypeField(QLineEdit* edit, const QString& text);
  // Fills the grid rows 0 .. rows-1 with the given columns of text.
  void FillGrid(const std::vector<std::vector<QString>>& rows);
  QString Cell(int column, int row) const {
    return Widget<TStringGrid>(*form, "StringGrid1")->Cells(column, row);
  }
  std::vector<QString> Column(int column) const;
  bool Said(const std::string& text) const;
  // Lets queued work finish, also work that queued work queues (a cell
  // editor commits its text on the next turn, and the window's checks run on
  // the turn after that).
  void Settle() const {
    for (int round = 0; round < 3; ++round) {
      QCoreApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  TRecordingDialogs dialogs;
  TScriptedFileDialogs files;
  TTemporaryDirectory directory;
  // The window's session, made before the window as the program makes it.
  std::unique_ptr<TSession> session;
  std::unique_ptr<TRainForm> form;
  TDMTevlora& d() { return session->Data; }
  TAnalysisRun& run() { return session->Run; }
};
