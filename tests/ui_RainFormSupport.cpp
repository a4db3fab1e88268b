#include "ui_RainFormSupport.h"

#include <QSettings>
#include <QTest>
#include <algorithm>

#include "TextFile.h"

bool TScriptedFileDialogs::Execute(const TFileDialog& dialog, QString& fileName) {
  runs.push_back(dialog);
  if (answers.empty()) return false;
  const std::optional<QString> answer = answers.front();
  answers.pop_front();
  if (!answer) return false;
  fileName = *answer;
  return true;
}

bool TScriptedFileDialogs::ExecuteImport(TImportDialog& dialog) {
  if (importScript) importScript(dialog);
  // Choices in the grid read the table again on the next turn.
  QCoreApplication::processEvents();
  importReport = dialog.ReportMemo->toPlainText().toStdString();
  return dialog.Import();
}

void RainFormTest::SetUp() {
  TestApplication();
  CurrentDecimalSeparator = '.';
  // The window's settings (recent files, last folder) go to a file of the
  // test's own, never to the user's.
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString(directory.File("settings")));
  session = std::make_unique<TSession>();
  session->Data.DataModuleCreate();
  form = std::make_unique<TRainForm>(*session, &dialogs, &files);
  session->Data.Dialogs = form->Dialogs();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

void RainFormTest::TearDown() {
  form.reset();
  session.reset();
  CurrentDecimalSeparator = '.';
}

std::string RainFormTest::CopyExample(const std::string& name, bool withPar) {
  const std::string target = directory.File(name);
  std::filesystem::copy_file(ExampleDataFile(name), target,
                             std::filesystem::copy_options::overwrite_existing);
  if (withPar) {
    const std::string par = ChangeFileExt(name, ".par");
    std::filesystem::copy_file(ExampleDataFile(par), directory.File(par),
                               std::filesystem::copy_options::overwrite_existing);
  }
  return target;
}

void RainFormTest::OpenInput(const std::string& fileName) {
  Choose(fileName);
  form->InputOpenAction->trigger();
}

void RainFormTest::ShowTab(QWidget* page) {
  form->PageControl1->setCurrentWidget(page);
  Settle();
}

void RainFormTest::TypeCell(int column, int row, const QString& text) {
  TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
  grid->setFocus();
  grid->setCurrentCell(row, column);
  grid->editItem(grid->item(row, column));
  auto* editor = qobject_cast<TGridCellEditor*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  if (text.isEmpty()) QTest::keyClick(editor, Qt::Key_Delete);
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
}

void RainFormTest::TypeField(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Delete);
  } else {
    QTest::keyClicks(edit, text);
  }
  // Leave the field for the title field, as the user would with the mouse.
  Widget<QLineEdit>(*form, "Title1Edit")->setFocus(Qt::MouseFocusReason);
  Settle();
}

void RainFormTest::FillGrid(const std::vector<std::vector<QString>>& rows) {
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < static_cast<int>(rows[r].size()); ++c) {
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(c, r, rows[r][c]);
    }
  }
  form->Input().GridHasData = true;
}

std::vector<QString> RainFormTest::Column(int column) const {
  std::vector<QString> cells;
  for (int r = 0; r < Widget<TStringGrid>(*form, "StringGrid1")->RowCount(); ++r)
    cells.push_back(Cell(column, r));
  return cells;
}

bool RainFormTest::Said(const std::string& text) const {
  return std::find(dialogs.messages.begin(), dialogs.messages.end(), text) !=
         dialogs.messages.end();
}
