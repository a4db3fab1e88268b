// Graphics tab: graphs of a results file, choosing among the kinds that fit
// it, saving them as bitmaps in colour or black and white, and opening a
// saved picture.
#include <QEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QScrollArea>
#include <filesystem>

#include "FitMapDraw.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphDraw.h"
#include "URainForm.h"
#include "UTevloraUtils.h"

namespace T = RainFormTexts;

namespace {
constexpr const char* kPictureBox = "PictureBox";

// Shows and hides a widget together with the one whose events it filters.
class TShownWith : public QObject {
 public:
  explicit TShownWith(QWidget* follower) : QObject(follower), follower_(follower) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ShowToParent) follower_->show();
    if (event->type() == QEvent::HideToParent) follower_->hide();
    return false;
  }

 private:
  QWidget* follower_;
};

QRadioButton* MakeChoice(QWidget* parent, const char* name, const char* caption, int top) {
  auto* choice = new QRadioButton(QString::fromUtf8(caption), parent);
  choice->setObjectName(name);
  choice->setGeometry(16, top, 200, 22);
  return choice;
}
}  // namespace

void TRainForm::CreateGraphicsTab() {
  QWidget* page = GraphicsTabSheet;

  GraphImage = new QLabel(page);
  GraphImage->setObjectName("GraphImage");
  GraphImage->setGeometry(16, 0, kGraphWidth, kGraphHeight);
  GraphImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  GraphImage->hide();

  // An opened picture is shown whole and at its own size, in the graph's
  // place: a saved graph fills it exactly, a larger picture can be scrolled.
  auto* pictureBox = new QScrollArea(page);
  pictureBox->setObjectName(kPictureBox);
  pictureBox->setGeometry(16, 0, kGraphWidth, kGraphHeight);
  pictureBox->setFrameShape(QFrame::NoFrame);
  pictureBox->setWidgetResizable(false);
  PictureImage = new QLabel;
  PictureImage->setObjectName("PictureImage");
  PictureImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PictureImage->setScaledContents(false);
  pictureBox->setWidget(PictureImage);
  PictureImage->installEventFilter(new TShownWith(pictureBox));
  PictureImage->hide();

  constexpr int top = 472;
  SeeGraphButton = MakeButton(page, "SeeGraphButton", T::kSeeGraphButton, QRect(16, top, 100, 26));
  MakeGraphButton =
      MakeButton(page, "MakeGraphButton", T::kMakeGraphButton, QRect(122, top, 100, 26));
  SaveGraphButton =
      MakeButton(page, "SaveGraphButton", T::kSaveGraphButton, QRect(228, top, 110, 26));
  BlWhButton = MakeButton(page, "BlWhButton", T::kBlWhButton, QRect(344, top, 110, 26));
  SelectButton = MakeButton(page, "SelectButton", T::kSelectButton, QRect(460, top, 95, 26));
  CommentButton = MakeButton(page, "CommentButton", T::kCommentButton, QRect(561, top, 78, 26));
  SelectButton->setEnabled(false);
  CommentButton->setEnabled(false);

  // A choice panel: the group of radio buttons with the Go button under it.
  const auto makePanel = [page](const char* panelName, const char* groupName, int groupHeight,
                                QWidget*& panel, QGroupBox*& group) {
    panel = new QWidget(page);
    panel->setObjectName(panelName);
    panel->setGeometry(200, 90, 250, groupHeight + 44);
    group = new QGroupBox(T::kSelectGroup, panel);
    group->setObjectName(groupName);
    group->setGeometry(0, 0, 250, groupHeight);
  };
  makePanel("Panel1", "RadioGroup1", 232, Panel1, RadioGroup1);
  RunoffRadioButton = MakeChoice(RadioGroup1, "RunoffRadioButton", T::kRunoffInTime, 26);
  RechRadioButton = MakeChoice(RadioGroup1, "RechRadioButton", T::kRainRecharge, 54);
  CalcObsRadioButton = MakeChoice(RadioGroup1, "CalcObsRadioButton", T::kObservedCalculated, 82);
  RainRunRadioButton = MakeChoice(RadioGroup1, "RainRunRadioButton", T::kDischargeRecharge, 110);
  RechRunRadioButton = MakeChoice(RadioGroup1, "RechRunRadioButton", T::kRechargeRunoffInTime, 138);
  FitMapRadioButton = MakeChoice(RadioGroup1, "FitMapRadioButton", "Fit map of A and C", 166);
  FitMapZoomRadioButton =
      MakeChoice(RadioGroup1, "FitMapZoomRadioButton", "Fit map of A and C, zoomed", 194);
  RunoffRadioButton->setChecked(true);
  GoButton1 = MakeButton(Panel1, "GoButton1", T::kGoButton, QRect(85, 242, 80, 26));

  makePanel("Panel3", "RadioGroup3", 118, Panel3, RadioGroup3);
  RadioButton3 = MakeChoice(RadioGroup3, "RadioButton3", T::kRunoffInTime, 26);
  RadioButton4 = MakeChoice(RadioGroup3, "RadioButton4", T::kWatertableInTime, 54);
  RadioButton5 = MakeChoice(RadioGroup3, "RadioButton5", T::kRainRecharge, 82);
  RadioButton3->setChecked(true);
  GoButton3 = MakeButton(Panel3, "GoButton3", T::kGoButton, QRect(85, 128, 80, 26));

  Panel1->hide();
  Panel3->hide();

  BindButton(SeeGraphButton, GraphOpenAction);
  BindButton(MakeGraphButton, OutputOpenForGraphics);
  BindButton(SaveGraphButton, GraphSaveAction);
  connect(BlWhButton, &QPushButton::clicked, this, [this] { BlWhButtonClick(); });
  connect(SelectButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { SelectButtonClick(); }); });
  connect(CommentButton, &QPushButton::clicked, this, [this] { CommentButtonClick(); });
  connect(GoButton1, &QPushButton::clicked, this,
          [this] { Guarded([this] { GoButton1Click(); }); });
  connect(GoButton3, &QPushButton::clicked, this,
          [this] { Guarded([this] { GoButton3Click(); }); });
}

void TRainForm::GraphicsTabSheetShow() {
  ShowStatus(T::kGraphicsStatus);
  InputSaveAction->setEnabled(false);
  GraphSaveAction->setEnabled(false);
  BlWhButton->setEnabled(false);
  SeeGraphButton->show();
  GraphImage->hide();
  PictureImage->hide();
  HideComment();
  ShowGraphicsTab();
}

void TRainForm::ShowGraphicsTab() {
  TDMTevlora& d = session_.Data;
  GraphSaveAction->setEnabled(false);
  BlWhButton->setEnabled(false);
  if (GraphReady) {
    d.InspectOutputFile();
    const bool analysisFile = d.ResultsMarker == "----" || d.ResultsMarker == "RECO";
    Panel1->setVisible(analysisFile);
    Panel3->setVisible(!analysisFile);
  } else {
    Panel1->hide();
    Panel3->hide();
    SelectButton->setEnabled(false);
  }
  SeeGraphButton->show();
  if (!d.Analysis) {
    RadioButton4->setText(d.Drainage ? T::kWatertableInTime : T::kReservoirStorage);
  }
}

void TRainForm::SelectButtonClick() {
  // The fit map's note belongs to the map, not to the choices.
  if (GraphKind == kFitMapGraphKind) ShowStatus(T::kGraphicsStatus);
  GraphImage->hide();
  GraphShown = false;
  SelectButton->setEnabled(false);
  HideComment();
  ShowGraphicsTab();
}

void TRainForm::GoButton1Click() {
  TDMTevlora& d = session_.Data;
  HideComment();
  if (RunoffRadioButton->isChecked()) {
    GraphKind = 1;
  } else if (RechRadioButton->isChecked()) {
    GraphKind = 3;
  } else if (CalcObsRadioButton->isChecked()) {
    GraphKind = 7;
  } else if (RechRunRadioButton->isChecked()) {
    GraphKind = 9;
  } else if (RainRunRadioButton->isChecked()) {
    GraphKind = 8;
    CommentButton->setEnabled(true);
    // A missing or torn trend file stops here, before the series are read;
    // the drawing reads it again for its own values.
    (void)ReadTrendFile(d.OutFileName);
  } else if (FitMapRadioButton->isChecked() || FitMapZoomRadioButton->isChecked()) {
    FitMapGoButtonClick(FitMapZoomRadioButton->isChecked());
    return;
  } else {
    return;
  }
  d.LoadGraphSeries(GraphKind);
  Panel1->hide();
  Panel3->hide();
  SelectButton->setEnabled(true);
  ShowGraphics();
}

void TRainForm::GoButton3Click() {
  TDMTevlora& d = session_.Data;
  if (RadioButton3->isChecked()) {
    GraphKind = 2;
  } else if (RadioButton4->isChecked()) {
    GraphKind = 5;
  } else if (RadioButton5->isChecked()) {
    GraphKind = 4;
  } else {
    return;
  }
  d.LoadGraphSeries(GraphKind);
  Panel1->hide();
  Panel3->hide();
  SelectButton->setEnabled(true);
  ShowGraphics();
}

void TRainForm::ShowGraphics() {
  MakeGraphButton->show();
  GraphSaveAction->setEnabled(true);
  BlWhButton->setEnabled(true);
  DrawCurrentGraph();
}

void TRainForm::DrawCurrentGraph() {
  if (GraphKind == kFitMapGraphKind && FitMapShown) {
    GraphBitmap = DrawFitMap(*FitMapShown, session_.Data.Title1, session_.Data.Title2, ColourGraph);
  } else {
    GraphBitmap = DrawGraph(session_.Data, GraphKind, ColourGraph);
  }
  GraphImage->setPixmap(QPixmap::fromImage(GraphBitmap));
  GraphImage->show();
  GraphImage->raise();
  GraphShown = true;
}

void TRainForm::OutputOpenForGraphicsExecute() {
  Guarded([this] {
    if (!OpenOutputFile()) return;
    GraphImage->hide();
    PictureImage->hide();
    GraphShown = false;
    CommentButton->setEnabled(false);
    OutputShown = true;
    ViewGraphButton->show();
    GraphReady = true;
    HideComment();
    ShowGraphicsTab();
  });
}

void TRainForm::ViewGraphButtonClick() {
  session_.Data.InspectOutputFile();
  GraphReady = true;
  SelectButton->setEnabled(false);
  PictureImage->hide();
  ShowTab(GraphicsTabSheet);
}

void TRainForm::GraphOpenActionExecute() {
  Guarded([this] {
    TDMTevlora& d = session_.Data;
    GraphSaveAction->setEnabled(false);
    BlWhButton->setEnabled(false);
    Panel1->hide();
    Panel3->hide();
    SelectButton->setEnabled(false);
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
    PictureImage->setPixmap(QPixmap::fromImage(picture));
    PictureImage->resize(picture.size());
    SetDialogDirs(DirectoryOf(LocalFileName(chosen)));
    GraphImage->hide();
    GraphShown = false;
    PictureImage->show();
    GraphicsTabSheet->findChild<QScrollArea*>(kPictureBox)->raise();
    HideComment();
  });
}

void TRainForm::SaveGraph(bool colour) {
  Guarded([this, colour] {
    TDMTevlora& d = session_.Data;
    ColourGraph = colour;
    ShowGraphics();
    QString chosen;
    if (!RunFileDialog(GraphSaveDialog, chosen)) {
      Message(T::kGraphNotSaved);
      return;
    }
    if (FileExists(LocalFileName(chosen)) && !d.ConfirmYesNo(T::kOverwrite)) return;
    if (!SaveGraphBitmap(GraphBitmap, LocalFileName(chosen), "BMP")) {
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
