// The Graphics tab of the main window: graphs of a results file, the choice
// among the kinds that fit it, the fit map of A and C, and a saved picture
// opened again. Saving and opening pictures are the window's commands; the
// tab shows what they give.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <memory>
#include <optional>

#include "URainFormTab.h"

struct TFitMap;
struct TStorageCalibration;

class TGraphicsTab : public TRainFormTab {
  Q_OBJECT
 public:
  // The buttons run the window's Open graph, Make graph and Save graph; the
  // Bl-Wh button is enabled with Save graph.
  TGraphicsTab(TRainFormHost& host, QAction* graphOpen, QAction* outputOpenForGraphics,
               QAction* graphSave);
  void Arrange() override;

  // Whether a results file is ready to be drawn.
  bool GraphReady() const { return graphReady_; }
  void SetGraphReady(bool ready) { graphReady_ = ready; }
  // Colour or black and white.
  bool ColourGraph() const { return colourGraph_; }
  void SetColourGraph(bool colour) { colourGraph_ = colour; }
  int GraphKind() const { return graphKind_; }
  // Classic graphs or figures in the report style (the report hydrograph is
  // always one).
  bool ReportStyle() const { return reportStyle_; }
  void SetReportStyle(bool report);
  // The graph as saved: the classic 623 x 465 bitmap (or the report figure
  // at that size). The screen shows it drawn again at the size of its area.
  const QImage& GraphBitmap() const { return graphBitmap_; }
  std::shared_ptr<const TFitMap> FitMapShown() const { return fitMapShown_; }

  // The tab as it is entered without a graph or picture to show again.
  void ResetView();
  // A graph drawn or a picture opened, shown again when the tab is entered.
  bool HasView() const;
  bool GraphShown() const;
  // The choice panel that fits the results file, or none.
  void ShowChoices();
  // No graph, no picture, no comment: a new results file.
  void ForgetGraph();
  // No choice panel: a picture is being opened.
  void HideChoices();
  void ShowPicture(const QImage& picture);
  // A results file shown on the Output tab is to be drawn.
  void PrepareForResults();
  // Draws the current graph kind and allows saving it.
  void ShowGraphics();
  void ShowOpenGraphButton();
  void EnableComment(bool enabled);
  // The second choice of a prediction: water table (drainage) or storage.
  void NameStorageChoice(bool drainage);
  // The profile of the storage calibration of the last Save/Run, offered
  // among the analysis graphs while it is there (null: none).
  void SetStorageProfile(std::shared_ptr<const TStorageCalibration> profile);
  // The last time of the calibration records of the results shown (none:
  // all records were fitted), marked on the report hydrograph.
  void SetCalibrationSplit(std::optional<double> until);
  // Saves the graph shown in the format the name's extension asks for:
  // .bmp (or another) and .png the classic bitmap as shown, .svg and .pdf
  // the same drawing as a vector picture; a report figure as 16 x 12 cm at
  // 300 dpi. False when the file could not be written.
  bool SaveGraphAs(const std::string& fileName) const;

 signals:
  void CommentClicked();
  void BlackAndWhiteSaveClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls, a block at a time, and what they run.
  void CreatePictures();
  void CreateButtons();
  void CreateChoicePanels();
  void ConnectControls(QAction* graphOpen, QAction* outputOpenForGraphics, QAction* graphSave);
  void SelectButtonClick();
  void GoButton1Click();
  void GoButton3Click();
  void FitMapGoButtonClick(bool zoom);
  void DrawCurrentGraph();
  // Draws the graph shown at the size its area has now (the bitmap itself
  // where the area holds no more).
  void ShowAtAreaSize();
  void ChoiceMade();

  QAction* graphSave_;
  bool graphReady_ = false;
  bool colourGraph_ = true;
  bool reportStyle_ = false;
  int graphKind_ = 1;
  QImage graphBitmap_;
  // The graph shown, drawn on a picture of the given size in pixels and
  // resolution; a report figure fills it, a classic graph keeps its
  // proportions. Holds what it needs, so that it draws the same graph
  // whatever happens to the data set meanwhile.
  std::function<QImage(QSize pixels, int dpi)> drawAtSize_;
  bool shownFills_ = false;
  QSize shownSize_;
  // The fit map of A and C shown as graph kind kFitMapGraphKind.
  std::shared_ptr<const TFitMap> fitMapShown_;
  std::shared_ptr<const TStorageCalibration> storageProfile_;
  std::optional<double> calibrationSplit_;

  QLabel* GraphImage;
  QLabel* PictureImage;
  QPushButton* SeeGraphButton;
  QPushButton* MakeGraphButton;
  QPushButton* SaveGraphButton;
  QPushButton* BlWhButton;
  QPushButton* SelectButton;
  QPushButton* CommentButton;
  QWidget* Panel1;
  QGroupBox* RadioGroup1;
  QRadioButton* RunoffRadioButton;
  QRadioButton* RechRadioButton;
  QRadioButton* CalcObsRadioButton;
  QRadioButton* RainRunRadioButton;
  QRadioButton* RechRunRadioButton;
  QRadioButton* FitMapRadioButton;
  QRadioButton* FitMapZoomRadioButton;
  QRadioButton* ProfileRadioButton;
  QRadioButton* ReportHydrographRadioButton;
  QCheckBox* ReportStyleBox1;
  QPushButton* GoButton1;
  QWidget* Panel3;
  QGroupBox* RadioGroup3;
  QRadioButton* RadioButton3;
  QRadioButton* RadioButton4;
  QRadioButton* RadioButton5;
  QCheckBox* ReportStyleBox3;
  QPushButton* GoButton3;
};
