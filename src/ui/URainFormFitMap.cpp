// The fit map of A and C on the Graphics tab, and the fit measures panel
// beside the results text on the Output tab.
#include <QApplication>
#include <QFont>
#include <QPixmap>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "URainForm.h"
#include "URainRun.h"
#include "UWindowLayout.h"

namespace {
namespace T {
constexpr const char* kFitMeasuresTitle = "Fit measures";
std::string InputMissingText(const std::string& inputFile) {
  return "The fit map needs the input file \"" + inputFile +
         "\" beside the results file. It was not found.";
}
std::string NotAnalysisText(const std::string& inputFile) {
  return "The fit map needs an analysis input file; \"" + inputFile + "\" is not one.";
}
}  // namespace T

constexpr int kMemoWidth = 651;
// The 64 characters of the results table still fit beside the panel.
constexpr int kMemoWidthBesidePanel = 530;

std::string Row(const char* name, double value, int decimals) {
  std::string text = FitMeasureText(value, decimals);
  if (text.empty()) text.assign(1, '-');
  std::string row = name;
  row.resize(9, ' ');
  row.append(text);
  return row;
}
}  // namespace

void TRainForm::FitMapGoButtonClick(bool zoom) {
  TDMTevlora& d = session_.Data;
  const std::string inputFile = ChangeFileExt(d.OutFileName, ".inp");
  if (!FileExists(inputFile)) {
    Message(T::InputMissingText(inputFile));
    return;
  }
  // A data set of its own: the input tab's one stays as it is.
  TDMTevlora input;
  input.Dialogs = d.Dialogs;
  input.FileName = inputFile;
  if (!input.ReadInputFile()) return;
  if (input.RunKind != " Ana") {
    Message(T::NotAnalysisText(inputFile));
    return;
  }
  TSearchProblem problem;
  std::shared_ptr<TFitMap> map;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct TRestore {
      ~TRestore() { QApplication::restoreOverrideCursor(); }
    } restore;
    if (!FitMapProblemOfInputFile(input, problem)) return;
    TFitMapOptions options;
    options.Zoom = zoom;
    map = std::make_shared<TFitMap>(ComputeFitMap(problem, options));
  }
  // The analysis stops on these data with this message; so does the map.
  if (!map->Optimum.Found()) {
    Message(RainRunTexts::kNoFit);
    return;
  }
  FitMapShown = map;
  GraphKind = kFitMapGraphKind;
  CommentButton->setEnabled(false);
  Panel1->hide();
  Panel3->hide();
  SelectButton->setEnabled(true);
  ShowGraphics();
  if (const std::string note = FitMapNote(*map); !note.empty()) {
    ShowStatus(QString::fromStdString(note));
  }
}

void TRainForm::CreateFitMeasuresPanel() {
  FitMeasuresPanel = new QLabel(OutputTabSheet);
  FitMeasuresPanel->setObjectName("FitMeasuresPanel");
  FitMeasuresPanel->setGeometry(8 + kMemoWidthBesidePanel + 6, 8,
                                kMemoWidth - kMemoWidthBesidePanel - 6, 160);
  FitMeasuresPanel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FitMeasuresPanel->setFrameShape(QFrame::StyledPanel);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(11);
  FitMeasuresPanel->setFont(font);
  FitMeasuresPanel->hide();
}

void TRainForm::ShowFitMeasures(const TFitMeasures& fit) {
  const bool shown = fit.Records >= 2;
  FitMeasuresPanel->setVisible(shown);
  // The panel takes its room from the right of the results text.
  const int panelRoom = shown ? kMemoWidth - kMemoWidthBesidePanel : 0;
  if (auto* panel = qobject_cast<TAnchorPanel*>(OutputMemo->parentWidget())) {
    panel->SetRightMargin(OutputMemo, panel->DesignSize().width() - 8 - kMemoWidth + panelRoom);
  } else {
    OutputMemo->resize(kMemoWidth - panelRoom, OutputMemo->height());
  }
  if (!shown) {
    FitMeasuresPanel->clear();
    return;
  }
  const std::string lines[] = {
      T::kFitMeasuresTitle,
      "",
      Row("NSE", fit.NSE, 3),
      Row("KGE", fit.KGE, 3),
      Row("PBIAS %", fit.PBIAS, 1),
      Row("RMSE", fit.RMSE, 3),
      Row("Peak %", fit.PeakError, 1),
      Row("SD", fit.SD, 3),
      Row("R square", fit.RSquare, 3),
  };
  QStringList text;
  for (const auto& line : lines) text.append(QString::fromStdString(line));
  FitMeasuresPanel->setText(text.join('\n'));
}
