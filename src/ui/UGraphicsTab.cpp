#include "UGraphicsTab.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <algorithm>
#include <cmath>

#include "FigureFile.h"
#include "FitMap.h"
#include "FitMapDraw.h"
#include "ProfileMapDraw.h"
#include "ReportGraph.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphDraw.h"
#include "URainForm.h"
#include "URainRun.h"
#include "UTevloraUtils.h"
#include "UWindowLayout.h"
#include "UWorker.h"

namespace T = RainFormTexts;

namespace {
constexpr const char* kPictureBox = "PictureBox";
// The room the designed positions need.
constexpr QSize kDesign(665, 506);
constexpr int kButtonGap = 6;

std::string InputMissingText(const std::string& inputFile) {
  return "The fit map needs the input file \"" + inputFile +
         "\" beside the results file. It was not found.";
}
std::string NotAnalysisText(const std::string& inputFile) {
  return "The fit map needs an analysis input file; \"" + inputFile + "\" is not one.";
}

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

constexpr const char* kReportHydrograph = "Report hydrograph";
constexpr const char* kReportStyle = "Report style";

// The resolution of the screen's pictures at a device pixel ratio of 1.
constexpr int kScreenDpi = 96;
// The scale from which a classic graph is drawn at the size of its area.
constexpr double kClassicKeptBelow = 1.1;

// A report figure as saved: 16 x 12 cm at 300 dpi.
TFigureFormat SavedReportFormat() {
  TFigureFormat format;
  format.Width = 1890;
  format.Height = 1417;
  format.Dpi = 300;
  format.Style = TGraphStyle::Report;
  return format;
}

QRadioButton* MakeChoice(QWidget* parent, const char* name, const char* caption, int top) {
  auto* choice = new QRadioButton(QString::fromUtf8(caption), parent);
  choice->setObjectName(name);
  choice->setGeometry(16, top, 200, 22);
  return choice;
}

}  // namespace

TGraphicsTab::TGraphicsTab(TRainFormHost& host, QAction* graphOpen, QAction* outputOpenForGraphics,
                           QAction* graphSave)
    : TRainFormTab(host, "GraphicsTabSheet"), graphSave_(graphSave) {
  // The order of making is the order in which Tab moves through the controls.
  CreatePictures();
  CreateButtons();
  CreateChoicePanels();
  ConnectControls(graphOpen, outputOpenForGraphics, graphSave);
}

void TGraphicsTab::CreatePictures() {
  GraphImage = new QLabel(this);
  GraphImage->setObjectName("GraphImage");
  GraphImage->setGeometry(16, 0, kGraphWidth, kGraphHeight);
  GraphImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  GraphImage->hide();
  // The graph is drawn again whenever its area changes size.
  GraphImage->installEventFilter(this);

  // An opened picture is shown whole and at its own size, in the graph's
  // place: a saved graph fills it exactly, a larger picture can be scrolled.
  auto* pictureBox = new QScrollArea(this);
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
}

void TGraphicsTab::CreateButtons() {
  constexpr int top = 472;
  SeeGraphButton = MakeButton(this, "SeeGraphButton", T::kSeeGraphButton, QRect(16, top, 100, 26));
  MakeGraphButton =
      MakeButton(this, "MakeGraphButton", T::kMakeGraphButton, QRect(122, top, 100, 26));
  SaveGraphButton =
      MakeButton(this, "SaveGraphButton", T::kSaveGraphButton, QRect(228, top, 110, 26));
  BlWhButton = MakeButton(this, "BlWhButton", T::kBlWhButton, QRect(344, top, 110, 26));
  SelectButton = MakeButton(this, "SelectButton", T::kSelectButton, QRect(460, top, 95, 26));
  CommentButton = MakeButton(this, "CommentButton", T::kCommentButton, QRect(561, top, 78, 26));
  SelectButton->setEnabled(false);
  CommentButton->setEnabled(false);
}

void TGraphicsTab::CreateChoicePanels() {
  // A choice panel: the group of radio buttons with the Go button under it.
  const auto makePanel = [this](const char* panelName, const char* groupName, int groupHeight,
                                QWidget*& panel, QGroupBox*& group) {
    panel = new QWidget(this);
    panel->setObjectName(panelName);
    panel->setGeometry(200, 90, 250, groupHeight + 72);
    group = new QGroupBox(T::kSelectGroup, panel);
    group->setObjectName(groupName);
    group->setGeometry(0, 0, 250, groupHeight);
  };
  makePanel("Panel1", "RadioGroup1", 288, Panel1, RadioGroup1);
  RunoffRadioButton = MakeChoice(RadioGroup1, "RunoffRadioButton", T::kRunoffInTime, 26);
  RechRadioButton = MakeChoice(RadioGroup1, "RechRadioButton", T::kRainRecharge, 54);
  CalcObsRadioButton = MakeChoice(RadioGroup1, "CalcObsRadioButton", T::kObservedCalculated, 82);
  RainRunRadioButton = MakeChoice(RadioGroup1, "RainRunRadioButton", T::kDischargeRecharge, 110);
  RechRunRadioButton = MakeChoice(RadioGroup1, "RechRunRadioButton", T::kRechargeRunoffInTime, 138);
  FitMapRadioButton = MakeChoice(RadioGroup1, "FitMapRadioButton", "Fit map of A and C", 166);
  FitMapZoomRadioButton =
      MakeChoice(RadioGroup1, "FitMapZoomRadioButton", "Fit map of A and C, zoomed", 194);
  ProfileRadioButton =
      MakeChoice(RadioGroup1, "ProfileRadioButton", "Profile of the storages", 222);
  ProfileRadioButton->setEnabled(false);
  ReportHydrographRadioButton =
      MakeChoice(RadioGroup1, "ReportHydrographRadioButton", kReportHydrograph, 250);
  RunoffRadioButton->setChecked(true);
  GoButton1 = MakeButton(Panel1, "GoButton1", T::kGoButton, QRect(85, 298, 80, 26));
  ReportStyleBox1 = new QCheckBox(QString::fromUtf8(kReportStyle), Panel1);
  ReportStyleBox1->setObjectName("ReportStyleBox1");
  ReportStyleBox1->setGeometry(75, 330, 160, 22);

  makePanel("Panel3", "RadioGroup3", 118, Panel3, RadioGroup3);
  RadioButton3 = MakeChoice(RadioGroup3, "RadioButton3", T::kRunoffInTime, 26);
  RadioButton4 = MakeChoice(RadioGroup3, "RadioButton4", T::kWatertableInTime, 54);
  RadioButton5 = MakeChoice(RadioGroup3, "RadioButton5", T::kRainRecharge, 82);
  RadioButton3->setChecked(true);
  GoButton3 = MakeButton(Panel3, "GoButton3", T::kGoButton, QRect(85, 128, 80, 26));
  ReportStyleBox3 = new QCheckBox(QString::fromUtf8(kReportStyle), Panel3);
  ReportStyleBox3->setObjectName("ReportStyleBox3");
  ReportStyleBox3->setGeometry(75, 160, 160, 22);

  Panel1->hide();
  Panel3->hide();
}

void TGraphicsTab::ConnectControls(QAction* graphOpen, QAction* outputOpenForGraphics,
                                   QAction* graphSave) {
  BindButton(SeeGraphButton, graphOpen);
  BindButton(MakeGraphButton, outputOpenForGraphics);
  BindButton(SaveGraphButton, graphSave);
  // A graph that can be saved in colour can be saved in black and white.
  BlWhButton->setEnabled(graphSave->isEnabled());
  connect(graphSave, &QAction::changed, BlWhButton,
          [this] { BlWhButton->setEnabled(graphSave_->isEnabled()); });
  connect(BlWhButton, &QPushButton::clicked, this, &TGraphicsTab::BlackAndWhiteSaveClicked);
  connect(SelectButton, &QPushButton::clicked, this,
          [this] { host_.Guarded([this] { SelectButtonClick(); }); });
  connect(CommentButton, &QPushButton::clicked, this, &TGraphicsTab::CommentClicked);
  connect(GoButton1, &QPushButton::clicked, this,
          [this] { host_.Guarded([this] { GoButton1Click(); }); });
  connect(GoButton3, &QPushButton::clicked, this,
          [this] { host_.Guarded([this] { GoButton3Click(); }); });
  // One style for both panels.
  for (QCheckBox* box : {ReportStyleBox1, ReportStyleBox3}) {
    connect(box, &QCheckBox::toggled, this, [this](bool on) { SetReportStyle(on); });
  }
}

void TGraphicsTab::Arrange() {
  // Alt+F and Alt+E open the menus; the buttons of the tab share no letter
  // with them or with each other.
  const std::pair<QPushButton*, char> letters[] = {
      {SeeGraphButton, 'o'}, {MakeGraphButton, 'm'}, {SaveGraphButton, 'c'}, {BlWhButton, 'b'},
      {SelectButton, 's'},   {CommentButton, 'n'},   {GoButton1, 'g'},       {GoButton3, 'g'}};
  for (const auto& [button, letter] : letters) {
    button->setText(WithMnemonic(button->text(), QChar::fromLatin1(letter)));
  }
  // The buttons in one row, each as wide as its caption needs; the graph
  // grows, the buttons stay under it.
  const QPushButton* row[] = {SeeGraphButton, MakeGraphButton, SaveGraphButton,
                              BlWhButton,     SelectButton,    CommentButton};
  int left = SeeGraphButton->x();
  for (const QPushButton* constButton : row) {
    auto* button = const_cast<QPushButton*>(constButton);
    button->setGeometry(left, button->y(), std::max(button->width(), button->sizeHint().width()),
                        button->height());
    left = button->geometry().right() + 1 + kButtonGap;
  }
  constexpr int all = TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop |
                      TAnchorPanel::AnchorRight | TAnchorPanel::AnchorBottom;
  QScrollArea* pictureBox = findChild<QScrollArea*>(kPictureBox);
  TAnchorPanel* graphics = MoveIntoAnchorPanel(this, kDesign);
  graphics->Anchor(GraphImage, all);
  graphics->Anchor(pictureBox, all);
  for (const QPushButton* button : row) {
    graphics->Anchor(const_cast<QPushButton*>(button),
                     TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorBottom);
  }
}

void TGraphicsTab::ResetView() {
  SeeGraphButton->show();
  GraphImage->hide();
  PictureImage->hide();
}

bool TGraphicsTab::HasView() const {
  return GraphShown() || !PictureImage->isHidden();
}

bool TGraphicsTab::GraphShown() const {
  return !GraphImage->isHidden();
}

void TGraphicsTab::ShowChoices() {
  TDMTevlora& d = session().Data;
  graphSave_->setEnabled(false);
  if (graphReady_) {
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
  if (!d.Analysis) NameStorageChoice(d.Drainage);
}

void TGraphicsTab::ForgetGraph() {
  GraphImage->hide();
  PictureImage->hide();
  CommentButton->setEnabled(false);
}

void TGraphicsTab::HideChoices() {
  Panel1->hide();
  Panel3->hide();
  SelectButton->setEnabled(false);
}

void TGraphicsTab::ShowPicture(const QImage& picture) {
  PictureImage->setPixmap(QPixmap::fromImage(picture));
  PictureImage->resize(picture.size());
  GraphImage->hide();
  PictureImage->show();
  findChild<QScrollArea*>(kPictureBox)->raise();
}

void TGraphicsTab::PrepareForResults() {
  graphReady_ = true;
  SelectButton->setEnabled(false);
  GraphImage->hide();
  PictureImage->hide();
}

void TGraphicsTab::ShowOpenGraphButton() {
  SeeGraphButton->show();
}

void TGraphicsTab::EnableComment(bool enabled) {
  CommentButton->setEnabled(enabled);
}

void TGraphicsTab::SetStorageProfile(std::shared_ptr<const TStorageCalibration> profile) {
  storageProfile_ = std::move(profile);
  ProfileRadioButton->setEnabled(storageProfile_ != nullptr);
  if (!storageProfile_ && ProfileRadioButton->isChecked()) RunoffRadioButton->setChecked(true);
}

void TGraphicsTab::SetCalibrationSplit(std::optional<double> until) {
  calibrationSplit_ = until;
}

void TGraphicsTab::NameStorageChoice(bool drainage) {
  RadioButton4->setText(drainage ? T::kWatertableInTime : T::kReservoirStorage);
}

void TGraphicsTab::SelectButtonClick() {
  // The fit map's note belongs to the map, not to the choices.
  if (graphKind_ == kFitMapGraphKind) host_.ShowStatus(T::kGraphicsStatus);
  GraphImage->hide();
  SelectButton->setEnabled(false);
  host_.HideComment();
  ShowChoices();
}

void TGraphicsTab::GoButton1Click() {
  TDMTevlora& d = session().Data;
  host_.HideComment();
  if (RunoffRadioButton->isChecked()) {
    graphKind_ = 1;
  } else if (RechRadioButton->isChecked()) {
    graphKind_ = 3;
  } else if (CalcObsRadioButton->isChecked()) {
    graphKind_ = 7;
  } else if (RechRunRadioButton->isChecked()) {
    graphKind_ = 9;
  } else if (RainRunRadioButton->isChecked()) {
    graphKind_ = 8;
    CommentButton->setEnabled(true);
    // A missing or torn trend file stops here, before the series are read;
    // the drawing reads it again for its own values.
    (void)ReadTrendFile(d.OutFileName);
  } else if (ReportHydrographRadioButton->isChecked()) {
    // Drawn from the series of the runoff graph, which hold rain and recharge too.
    graphKind_ = kHydrographGraphKind;
    d.LoadGraphSeries(1);
    ChoiceMade();
    return;
  } else if (FitMapRadioButton->isChecked() || FitMapZoomRadioButton->isChecked()) {
    FitMapGoButtonClick(FitMapZoomRadioButton->isChecked());
    return;
  } else if (ProfileRadioButton->isChecked() && storageProfile_) {
    graphKind_ = kStorageProfileGraphKind;
    CommentButton->setEnabled(false);
    ChoiceMade();
    return;
  } else {
    return;
  }
  d.LoadGraphSeries(graphKind_);
  ChoiceMade();
}

void TGraphicsTab::GoButton3Click() {
  if (RadioButton3->isChecked()) {
    graphKind_ = 2;
  } else if (RadioButton4->isChecked()) {
    graphKind_ = 5;
  } else if (RadioButton5->isChecked()) {
    graphKind_ = 4;
  } else {
    return;
  }
  session().Data.LoadGraphSeries(graphKind_);
  ChoiceMade();
}

void TGraphicsTab::ChoiceMade() {
  Panel1->hide();
  Panel3->hide();
  SelectButton->setEnabled(true);
  ShowGraphics();
}

void TGraphicsTab::FitMapGoButtonClick(bool zoom) {
  TDMTevlora& d = session().Data;
  const std::string inputFile = ChangeFileExt(d.OutFileName, ".inp");
  if (!FileExists(inputFile)) {
    Message(InputMissingText(inputFile));
    return;
  }
  // A data set of its own: the input tab's one stays as it is.
  TDMTevlora input;
  input.Dialogs = d.Dialogs;
  input.FileName = inputFile;
  if (!input.ReadInputFile()) return;
  if (input.RunKind != " Ana") {
    Message(NotAnalysisText(inputFile));
    return;
  }
  // The map is worked out off the window's thread, with the progress bar
  // and Cancel.
  std::shared_ptr<TFitMap> map;
  const bool finished = host_.RunJob([&](TUserDialogs& dialogs, TJobControl& control) {
    input.Dialogs = &dialogs;
    TSearchProblem problem;
    if (!FitMapProblemOfInputFile(input, problem)) return;
    TFitMapOptions options;
    options.Zoom = zoom;
    // The picture's colours only: most cells need no exact sum.
    options.ColourKey = FitMapColourKey;
    options.Cancel = [&control] { return control.Cancelled(); };
    map = std::make_shared<TFitMap>(
        ComputeFitMap(problem, options, [&control](double share) { control.Progress(share); }));
  });
  if (!finished) {
    Message(T::kFitMapCancelled);
    return;
  }
  if (!map) return;
  // The analysis stops on these data with this message; so does the map.
  if (!map->Optimum.Found()) {
    Message(RainRunTexts::kNoFit);
    return;
  }
  fitMapShown_ = map;
  graphKind_ = kFitMapGraphKind;
  CommentButton->setEnabled(false);
  ChoiceMade();
  if (const std::string note = FitMapNote(*map); !note.empty()) {
    host_.ShowStatus(QString::fromStdString(note));
  }
}

void TGraphicsTab::ShowGraphics() {
  MakeGraphButton->show();
  graphSave_->setEnabled(true);
  DrawCurrentGraph();
}

void TGraphicsTab::SetReportStyle(bool report) {
  reportStyle_ = report;
  for (QCheckBox* box : {ReportStyleBox1, ReportStyleBox3}) {
    if (box->isChecked() != report) box->setChecked(report);
  }
}

void TGraphicsTab::DrawCurrentGraph() {
  const TDMTevlora& d = session().Data;
  const bool fitMap = graphKind_ == kFitMapGraphKind && fitMapShown_;
  const bool profile = graphKind_ == kStorageProfileGraphKind && storageProfile_;
  // The graph keeps its own copy of the series and titles, and the trend
  // file is read once: drawing it again at another size reads no file.
  const auto data = std::make_shared<const TDMTevlora>(d);
  TReportExtras extras{calibrationSplit_, {}};
  if (graphKind_ == 8 && !fitMap && !profile) extras.Trend = ReadTrendFile(d.FileName);
  const std::shared_ptr<const TFitMap> map = fitMap ? fitMapShown_ : nullptr;
  const int kind = graphKind_;
  const bool colour = colourGraph_;
  const auto format = [](QSize pixels, int dpi, TGraphStyle style, bool inColour) {
    TFigureFormat shown;
    shown.Width = pixels.width();
    shown.Height = pixels.height();
    shown.Dpi = dpi;
    shown.Style = style;
    shown.Colour = inColour;
    return shown;
  };
  if ((reportStyle_ && !profile) || graphKind_ == kHydrographGraphKind) {
    // Laid out again for every size: the text keeps its size, the plot grows.
    drawAtSize_ = [=](QSize pixels, int dpi) {
      const TFigureFormat shown = format(pixels, dpi, TGraphStyle::Report, true);
      if (map) return RenderFigure(shown, FitMapFigure(*map, data->Title1, data->Title2, shown));
      auto layout =
          std::make_shared<const TReportLayout>(LayoutReportGraph(*data, kind, shown, extras));
      return RenderFigure(shown,
                          [layout](QPainter& painter) { PaintReportGraph(painter, *layout); });
    };
    shownFills_ = true;
    graphBitmap_ = drawAtSize_(QSize(kGraphWidth, kGraphHeight), kScreenDpi);
  } else if (fitMap) {
    drawAtSize_ = [=](QSize pixels, int dpi) {
      const TFigureFormat shown = format(pixels, dpi, TGraphStyle::Classic, colour);
      return RenderFigure(shown, FitMapFigure(*map, data->Title1, data->Title2, shown));
    };
    shownFills_ = false;
    graphBitmap_ = DrawFitMap(*map, d.Title1, d.Title2, colour);
  } else if (profile) {
    graphBitmap_ = DrawStorageProfile(*storageProfile_, d.Title1, d.Title2, colour);
    const std::shared_ptr<const TStorageCalibration> calibration = storageProfile_;
    drawAtSize_ = [=](QSize pixels, int dpi) {
      const TFigureFormat shown = format(pixels, dpi, TGraphStyle::Classic, colour);
      return RenderFigure(shown, ScaledClassic(shown, [=](QPainter& painter, bool) {
                            PaintStorageProfile(painter, *calibration, data->Title1, data->Title2,
                                                colour);
                          }));
    };
    shownFills_ = false;
  } else {
    const auto layout =
        std::make_shared<const TGraphLayout>(LayoutGraph(*data, kind, colour, extras.Trend));
    // The classic drawing scaled as a whole: lines and text drawn at the
    // size, not the pixels of the bitmap enlarged.
    drawAtSize_ = [=](QSize pixels, int dpi) {
      const TFigureFormat shown = format(pixels, dpi, TGraphStyle::Classic, colour);
      return RenderFigure(shown,
                          ScaledClassic(shown, [data, layout](QPainter& painter, bool smooth) {
                            PaintGraph(painter, *data, *layout, smooth);
                          }));
    };
    shownFills_ = false;
    graphBitmap_ = DrawGraph(*data, *layout);
  }
  shownSize_ = QSize();
  GraphImage->show();
  GraphImage->raise();
  ShowAtAreaSize();
}

void TGraphicsTab::ShowAtAreaSize() {
  if (GraphImage->isHidden() || !drawAtSize_) return;
  const qreal ratio = GraphImage->devicePixelRatioF();
  const QSize area = GraphImage->size() * ratio;
  QSize pixels = area;
  if (!shownFills_) {
    // A classic graph keeps its proportions; a few pixels more room are no
    // reason to give up its bitmap, drawn pixel for pixel.
    const double scale = std::min(static_cast<double>(area.width()) / kGraphWidth,
                                  static_cast<double>(area.height()) / kGraphHeight);
    pixels = scale < kClassicKeptBelow ? QSize(kGraphWidth, kGraphHeight)
                                       : QSize(static_cast<int>(std::lround(kGraphWidth * scale)),
                                               static_cast<int>(std::lround(kGraphHeight * scale)));
  }
  // No more room than the bitmap's: the bitmap itself, cut at the edges.
  if (pixels.width() < kGraphWidth || pixels.height() < kGraphHeight) {
    pixels = QSize(kGraphWidth, kGraphHeight);
  }
  if (pixels == shownSize_) return;
  shownSize_ = pixels;
  QPixmap shown;
  if (pixels == graphBitmap_.size()) {
    shown = QPixmap::fromImage(graphBitmap_);
  } else {
    shown =
        QPixmap::fromImage(drawAtSize_(pixels, static_cast<int>(std::lround(kScreenDpi * ratio))));
    shown.setDevicePixelRatio(ratio);
  }
  GraphImage->setPixmap(shown);
}

bool TGraphicsTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == GraphImage && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
    ShowAtAreaSize();
  }
  return TRainFormTab::eventFilter(watched, event);
}

bool TGraphicsTab::SaveGraphAs(const std::string& fileName) const {
  const TDMTevlora& d = session().Data;
  const TFigureFileType type = FigureFileTypeOf(fileName);
  const bool report = reportStyle_ || graphKind_ == kHydrographGraphKind;
  const bool vector = type == TFigureFileType::Svg || type == TFigureFileType::Pdf;
  if (graphKind_ == kStorageProfileGraphKind && storageProfile_) {
    if (!vector) {
      return SaveGraphBitmap(graphBitmap_, fileName, type == TFigureFileType::Png ? "PNG" : "BMP");
    }
    const TFigureFormat classic;
    const std::shared_ptr<const TStorageCalibration> calibration = storageProfile_;
    const bool colour = colourGraph_;
    return SaveFigure(fileName, type, classic,
                      ScaledClassic(classic, [&d, calibration, colour](QPainter& painter, bool) {
                        PaintStorageProfile(painter, *calibration, d.Title1, d.Title2, colour);
                      }));
  }
  // The classic bitmap is saved as it is shown; any name but .png, .svg and
  // .pdf gets a Windows bitmap, as it always did.
  if (!report && !vector) {
    return SaveGraphBitmap(graphBitmap_, fileName, type == TFigureFileType::Png ? "PNG" : "BMP");
  }
  TFigureFormat format = report ? SavedReportFormat() : TFigureFormat{};
  format.Colour = colourGraph_;
  const bool fitMap = graphKind_ == kFitMapGraphKind && fitMapShown_;
  return SaveFigure(fileName, type, format,
                    fitMap ? FitMapFigure(*fitMapShown_, d.Title1, d.Title2, format)
                           : GraphFigure(d, graphKind_, format, {calibrationSplit_, {}}));
}
