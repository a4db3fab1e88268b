// Output tab: the lines of a results file in a fixed-pitch memo.
#include <QFileInfo>
#include <QFont>
#include <filesystem>

#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "URainForm.h"

namespace T = RainFormTexts;

void TRainForm::CreateOutputTab() {
  QWidget* page = OutputTabSheet;
  OutputMemo = new QPlainTextEdit(page);
  OutputMemo->setObjectName("OutputMemo");
  OutputMemo->setGeometry(8, 8, 651, 470);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(13);
  font.setBold(true);
  OutputMemo->setFont(font);
  OutputMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  OutputMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  OutputMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  SeeOutputButton = new QPushButton(page);
  SeeOutputButton->setObjectName("SeeOutputButton");
  SeeOutputButton->setGeometry(8, 486, 120, 26);
  BindButton(SeeOutputButton, OutputOpenAction);

  ViewGraphButton = new QPushButton(T::kViewGraphButton, page);
  ViewGraphButton->setObjectName("ViewGraphButton");
  ViewGraphButton->setGeometry(140, 486, 120, 26);
  ViewGraphButton->hide();
  connect(ViewGraphButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { ViewGraphButtonClick(); }); });
  CreateFitMeasuresPanel();
}

void TRainForm::ShowOutputLines() {
  const TDMTevlora& d = session_.Data;
  const int count = std::min(std::max(d.OutLineCount, 0), static_cast<int>(d.OutLines.size()));
  QStringList lines;
  lines.reserve(count);
  for (int i = 0; i < count; ++i) lines.append(FileText(d.OutLines[i]));
  OutputMemo->clear();
  OutputMemo->setPlainText(lines.join('\n'));
}

void TRainForm::OutputTabSheetShow() {
  ViewGraphButton->setVisible(OutputShown);
  InputSaveAction->setEnabled(false);
  GraphSaveAction->setEnabled(false);
  BlWhButton->setEnabled(false);
  GraphReady = false;
  HideComment();
  ShowStatus(T::kOutputStatus);
}

// What Open output does on both tabs: the dialog, the chosen file's lines
// in the output memo, and the file names. False when the user cancelled.
bool TRainForm::OpenOutputFile() {
  TDMTevlora& d = session_.Data;
  QString chosen;
  if (!RunFileDialog(OutputOpenDialog, chosen)) {
    Message(T::kNoOutputSelected);
    return false;
  }
  d.FileName = LocalFileName(chosen);
  if (FileExists(d.FileName)) {
    d.LoadOutputLines(d.FileName);
  } else {
    Message(T::kFileMissing);
  }
  ShowStatus(T::kOutputOpenedStatus);
  ShowOutputLines();
  ShowFitMeasures(FitMeasuresOfResultsFile(d.FileName));
  d.OutFileName = d.FileName;
  SetDialogDirs(DirectoryOf(d.FileName));
  return true;
}

void TRainForm::OutputOpenActionExecute() {
  Guarded([this] {
    if (!OpenOutputFile()) return;
    OutputShown = true;
    ColourGraph = true;
    ViewGraphButton->show();
    SeeGraphButton->show();
    HideComment();
    ShowTab(OutputTabSheet);
  });
}
