// The window's graphics commands: the Graphics tab entered, Make graph (a
// results file for the graphs), View graph, Open graph (a saved picture) and
// Save graph in colour or black and white.
#include <QImageReader>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphicsTab.h"
#include "UOutputTab.h"
#include "URainForm.h"

namespace T = RainFormTexts;

void TRainForm::GraphicsTabSheetShow() {
  ShowStatus(T::kGraphicsStatus);
  InputSaveAction->setEnabled(false);
  // The graph or picture last shown comes back as it was.
  if (graphicsTab_->HasView()) {
    GraphSaveAction->setEnabled(graphicsTab_->GraphShown());
    return;
  }
  GraphSaveAction->setEnabled(false);
  graphicsTab_->ResetView();
  HideComment();
  graphicsTab_->ShowChoices();
}

void TRainForm::OutputOpenForGraphicsExecute() {
  Guarded([this] {
    if (!OpenOutputFile()) return;
    graphicsTab_->ForgetGraph();
    OutputShown = true;
    outputTab_->SetViewGraphVisible(true);
    graphicsTab_->SetGraphReady(true);
    HideComment();
    graphicsTab_->ShowChoices();
  });
}

void TRainForm::ViewGraphButtonClick() {
  session_.Data.InspectOutputFile();
  graphicsTab_->PrepareForResults();
  ShowTab(GraphicsTabSheet);
}

void TRainForm::GraphOpenActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    GraphSaveAction->setEnabled(false);
    graphicsTab_->HideChoices();
    QString chosen;
    if (!RunFileDialog(GraphOpenDialog, chosen)) {
      Message(T::kNoGraphicsSelected);
      return;
    }
    d.FileName = LocalFileName(chosen);
    if (!FileExists(d.FileName)) {
      Message(T::kGraphFileMissing);
      return;
    }
    QImageReader reader(chosen);
    const QImage picture = reader.read();
    if (picture.isNull()) {
      Message(
          QString::fromUtf8(T::kPictureNotRead).arg(chosen, reader.errorString()).toStdString());
      return;
    }
    // Coming from another tab, the tab's own start-up runs first, so that it
    // does not hide the picture again.
    if (PageControl1->currentWidget() != GraphicsTabSheet) {
      PageControl1->setCurrentWidget(GraphicsTabSheet);
    }
    SetDialogDirs(DirectoryOf(LocalFileName(chosen)));
    graphicsTab_->ShowPicture(picture);
    HideComment();
  });
}

void TRainForm::SaveGraph(bool colour) {
  Guarded([this, colour] {
    TDMTevlora& d = session_.Data;
    graphicsTab_->SetColourGraph(colour);
    graphicsTab_->ShowGraphics();
    QString chosen;
    if (!RunFileDialog(GraphSaveDialog, chosen)) {
      Message(T::kGraphNotSaved);
      return;
    }
    if (FileExists(LocalFileName(chosen)) && !d.ConfirmYesNo(T::kOverwrite)) return;
    if (!graphicsTab_->SaveGraphAs(LocalFileName(chosen))) {
      Message(QString::fromUtf8(T::kGraphNotWritten).arg(chosen).toStdString());
      return;
    }
    Message(std::string(T::kGraphSavedIn) + chosen.toStdString());
    SetDialogDirs(DirectoryOf(LocalFileName(chosen)));
  });
}

void TRainForm::GraphSaveActionExecute() {
  SaveGraph(true);
}

void TRainForm::BlWhButtonClick() {
  SaveGraph(false);
}
