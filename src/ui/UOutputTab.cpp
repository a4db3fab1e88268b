#include "UOutputTab.h"

#include <QAction>
#include <QFont>
#include <algorithm>

#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainForm.h"
#include "UWindowLayout.h"

namespace T = RainFormTexts;

namespace {
constexpr const char* kFitMeasuresTitle = "Fit measures";
constexpr const char* kFromTableMark = " *";
constexpr const char* kFromTableNote = "* from the file's\n  rounded table";
constexpr const char* kFitMeasuresHint =
    "Measured against calculated runoff, records 2 to N:\n"
    "NSE: model efficiency, 1 - (sum of squared errors) / (sum of squared deviations of the "
    "measured runoff from its mean); 1 is a perfect fit, 0 no better than the mean.\n"
    "KGE: efficiency from the correlation, the ratio of the spreads and the ratio of the "
    "means; 1 is a perfect fit.\n"
    "PBIAS %: the calculated total above (+) or below (-) the measured total, in percent.\n"
    "RMSE: root of the mean squared error, in the runoff's unit.\n"
    "Peak %: the error at the highest measured runoff, in percent.\n"
    "SD and R square: as the results file gives them (R square kept between 0.01 and 0.99).\n"
    "Values marked * are recomputed from the results file's table, whose numbers are rounded.";
constexpr int kMemoWidth = 651;
// The 64 characters of the results table still fit beside the panel.
constexpr int kMemoWidthBesidePanel = 530;
// The room the designed positions need.
constexpr QSize kDesign(665, 520);
// The panel's height with the measures of the whole run, and with those of
// the calibration and validation periods under them.
constexpr int kPanelHeight = 160;
constexpr int kPeriodPanelHeight = 420;

std::string Row(const char* name, double value, int decimals) {
  std::string text = FitMeasureText(value, decimals);
  if (text.empty()) text.assign(1, '-');
  std::string row = name;
  row.resize(9, ' ');
  row.append(text);
  return row;
}
}  // namespace

TOutputTab::TOutputTab(TRainFormHost& host, QAction* outputOpen, QAction* tableExport)
    : TRainFormTab(host, "OutputTabSheet") {
  OutputMemo = new QPlainTextEdit(this);
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

  SeeOutputButton = new QPushButton(this);
  SeeOutputButton->setObjectName("SeeOutputButton");
  SeeOutputButton->setGeometry(8, 486, 120, 26);
  BindButton(SeeOutputButton, outputOpen);

  ViewGraphButton = new QPushButton(T::kViewGraphButton, this);
  ViewGraphButton->setObjectName("ViewGraphButton");
  ViewGraphButton->setGeometry(140, 486, 120, 26);
  ViewGraphButton->hide();
  connect(ViewGraphButton, &QPushButton::clicked, this, &TOutputTab::ViewGraphClicked);
  CreateFitMeasuresPanel();

  ExportTableButton = new QPushButton(this);
  ExportTableButton->setObjectName("ExportTableButton");
  ExportTableButton->setGeometry(539, 486, 120, 26);
  BindButton(ExportTableButton, tableExport);
}

void TOutputTab::Arrange() {
  ViewGraphButton->setText(WithMnemonic(ViewGraphButton->text(), 'v'));
  ExportTableButton->setText(WithMnemonic(ExportTableButton->text(), 'x'));
  // The results text takes the room, the buttons stay under it.
  TAnchorPanel* output = MoveIntoAnchorPanel(this, kDesign);
  output->Anchor(OutputMemo, TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop |
                                 TAnchorPanel::AnchorRight | TAnchorPanel::AnchorBottom);
  output->Anchor(FitMeasuresPanel, TAnchorPanel::AnchorTop | TAnchorPanel::AnchorRight);
  output->Anchor(ExportTableButton, TAnchorPanel::AnchorRight | TAnchorPanel::AnchorBottom);
  output->Anchor(SeeOutputButton, TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorBottom);
  output->Anchor(ViewGraphButton, TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorBottom);
}

void TOutputTab::ShowOutputLines() {
  const TDMTevlora& d = session().Data;
  const int count = std::min(std::max(d.OutLineCount, 0), static_cast<int>(d.OutLines.size()));
  QStringList lines;
  lines.reserve(count);
  for (int i = 0; i < count; ++i) lines.append(FileText(d.OutLines[i]));
  OutputMemo->clear();
  OutputMemo->setPlainText(lines.join('\n'));
}

void TOutputTab::ShowResults() {
  OutputMemo->show();
}

void TOutputTab::SetViewGraphVisible(bool visible) {
  ViewGraphButton->setVisible(visible);
}

void TOutputTab::CreateFitMeasuresPanel() {
  FitMeasuresPanel = new QLabel(this);
  FitMeasuresPanel->setObjectName("FitMeasuresPanel");
  FitMeasuresPanel->setGeometry(8 + kMemoWidthBesidePanel + 6, 8,
                                kMemoWidth - kMemoWidthBesidePanel - 6, kPanelHeight);
  FitMeasuresPanel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FitMeasuresPanel->setFrameShape(QFrame::StyledPanel);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(11);
  FitMeasuresPanel->setFont(font);
  FitMeasuresPanel->setToolTip(QString::fromUtf8(kFitMeasuresHint));
  FitMeasuresPanel->hide();
}

void TOutputTab::ShowFitMeasures(const TFitMeasures& fit, bool fromTable) {
  const bool shown = fit.Records >= 2;
  FitMeasuresPanel->resize(FitMeasuresPanel->width(), kPanelHeight);
  FitMeasuresPanel->setVisible(shown);
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
      std::string(kFitMeasuresTitle) + (fromTable ? kFromTableMark : ""),
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
  if (fromTable) text.append(QString::fromUtf8(kFromTableNote));
  FitMeasuresPanel->setText(text.join('\n'));
}

void TOutputTab::ShowPeriodMeasures(const TFitMeasures& calibration,
                                    const TFitMeasures& validation) {
  if (FitMeasuresPanel->isHidden()) return;
  QStringList text = FitMeasuresPanel->text().split('\n');
  const std::pair<const char*, const TFitMeasures*> periods[] = {{"Calibration", &calibration},
                                                                 {"Validation", &validation}};
  for (const auto& [title, fit] : periods) {
    const std::string lines[] = {
        "",
        title,
        Row("Records", fit->Records, 0),
        Row("NSE", fit->NSE, 3),
        Row("KGE", fit->KGE, 3),
        Row("PBIAS %", fit->PBIAS, 1),
        Row("RMSE", fit->RMSE, 3),
        Row("Peak %", fit->PeakError, 1),
    };
    for (const auto& line : lines) text.append(QString::fromStdString(line));
  }
  FitMeasuresPanel->setText(text.join('\n'));
  FitMeasuresPanel->resize(FitMeasuresPanel->width(), kPeriodPanelHeight);
}
