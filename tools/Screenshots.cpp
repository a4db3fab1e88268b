// Makes the screenshots of docs/: the Figure tab and the drainage calculator
// after a calculation with the parameters of the example .par file.
// Usage: tevlora-screenshots DIRECTORY   (normally docs/), with
// QT_QPA_PLATFORM=offscreen when no display is at hand.
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "UAlfaForm.h"
#include "UIntroPages.h"

namespace {
class TPrintingDialogs : public TUserDialogs {
 public:
  void Message(const std::string& text) override { std::printf("%s\n", text.c_str()); }
  bool ConfirmYesNo(const std::string&) override { return false; }
  void Progress(const std::string&) override {}
  void Pause(int) override {}
};

bool Save(QWidget& widget, const QString& path) {
  if (!widget.grab().save(path, "png")) {
    std::fprintf(stderr, "%s could not be written\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}
}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tevlora-screenshots DIRECTORY\n");
    return 2;
  }
  QApplication::setFont(QFont("Liberation Sans", 9));
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  TPrintingDialogs dialogs;

  QTabWidget tabs;
  tabs.addTab(new TIntroPage, IntroTexts::kIntroCaption);
  tabs.addTab(new TFigurePage(dialogs), IntroTexts::kFigureCaption);
  tabs.setCurrentIndex(1);
  tabs.resize(673, 540);
  tabs.show();
  bool ok = Save(tabs, directory.filePath("screenshot_figure.png"));

  // The calculator writes its .par file beside the data set's file name.
  QTemporaryDir scratch;
  TDMTevlora data;
  data.FileName = scratch.filePath("example.inp").toStdString();
  TAlfaForm form(data, &dialogs, nullptr);
  form.show();
  const char* values[] = {"1.2", "0.8", "4", "0.6", "6", "40"};
  QLineEdit* edits[] = {form.Edit1, form.Edit2, form.Edit3, form.Edit4, form.Edit5, form.Edit6};
  for (int i = 0; i < 6; ++i) {
    edits[i]->setText(values[i]);
    emit edits[i]->editingFinished();
  }
  form.Button1Click();
  ok = Save(form, directory.filePath("screenshot_calculator.png")) && ok;
  return ok ? 0 : 1;
}
