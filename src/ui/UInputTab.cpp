#include "UInputTab.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "InputCheck.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UFormHelpers.h"
#include "UGraphicsTab.h"
#include "UIntroPages.h"
#include "URainForm.h"
#include "UWindowLayout.h"

namespace T = RainFormTexts;

namespace {
constexpr int kLabelsTop = 146;  // two lines above the grid
constexpr int kStarTop = 180;
constexpr int kGridTop = 198;
constexpr int kGridHeight = 330;
constexpr int kResetRows = 15;
// The room the designed positions need.
constexpr QSize kDesign(665, 536);
constexpr int kLabelGap = 6;

// The calibration of the storages, under the notes of an analysis.
constexpr const char* kCalibrateCheck = "Calibrate the storages too";
constexpr const char* kCalibrateHint =
    "Save/Run finds the maximum and initial storage with the best fit among the ranges, "
    "together with A and C";
constexpr const char* kMaxStorRangeLabel = "Max. storage range";
constexpr const char* kMaxStorRangeHint = "FROM:TO:STEP in mm, for example 5:120:5";
constexpr const char* kInitStorRangeLabel = "Initial storage %";
constexpr const char* kInitStorRangeHint =
    "Percentages of the maximum storage (0,25,50,75,100), or FROM:TO:STEP in mm";
constexpr const char* kCalibrateUntilLabel = "Calibrate until time";
constexpr const char* kCalibrateUntilHint =
    "A and C (and the storages) fit the records up to this time; the later records validate "
    "them. Empty: all records.";

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width) {
  auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
  edit->setObjectName(name);
  edit->setGeometry(left, top, width, 22);
  return edit;
}

QPlainTextEdit* MakeNote(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* note = new QPlainTextEdit(QString::fromUtf8(text), parent);
  note->setObjectName(name);
  note->setReadOnly(true);
  note->setGeometry(geometry);
  note->setFocusPolicy(Qt::NoFocus);
  note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return note;
}

// The program's message, then the first cell it could not read (row and
// column counted from 1, as the user counts them).
std::string NotAllRealText(int row, int column, const QString& cell) {
  static const char* const names[] = {"Time", "Rain", "Max. escape rate", "Runoff"};
  const QString shown = cell.isEmpty() ? QStringLiteral("empty") : '"' + cell + '"';
  return QStringLiteral("%1 (row %2, column %3 \"%4\": %5)")
      .arg(QString::fromUtf8(T::kNotAllReal))
      .arg(row + 1)
      .arg(column + 1)
      .arg(QString::fromUtf8(names[column]), shown)
      .toStdString();
}

// The integer value of a cell: digits with an optional leading minus.
bool CellInteger(const QString& text, int& value) {
  bool ok = false;
  value = text.toInt(&ok);
  return ok;
}
}  // namespace

TInputTab::TInputTab(TRainFormHost& host, QAction* inputOpen, QAction* inputSave)
    : TRainFormTab(host, "InputTabSheet") {
  // The order of making is the order in which Tab moves through the controls.
  CreateTopBlock();
  CreateGrid();
  CreateParameterFields();
  CreateNotes();
  CreateCalibrationFields();
  ConnectControls(inputOpen, inputSave);
}

void TInputTab::CreateTopBlock() {
  QWidget* page = this;
  FileNameLabel = MakeLabel(page, "FileNameLabel", T::kFileLabel, 8, 10);
  FileNameEdit = MakeEdit(page, "FileNameEdit", "", 72, 6, 585);
  FileNameEdit->setReadOnly(true);

  Title1Label = MakeLabel(page, "Title1Label", T::kTitle1Label, 8, 36);
  Title1Edit = MakeEdit(page, "Title1Edit", "", 72, 32, 585);
  Title1Edit->setToolTip(T::kTitle1Hint);
  Title2Label = MakeLabel(page, "Title2Label", T::kTitle2Label, 8, 62);
  Title2Edit = MakeEdit(page, "Title2Edit", "", 72, 58, 585);
  Title2Edit->setToolTip(T::kTitle2Hint);

  OptionLabel = MakeLabel(page, "OptionLabel", T::kOptionLabel, 8, 88);
  OptionComboBox = new QComboBox(page);
  OptionComboBox->setObjectName("OptionComboBox");
  OptionComboBox->addItem(T::kOptionAnalysis);
  OptionComboBox->addItem(T::kOptionPrediction);
  OptionComboBox->setCurrentIndex(0);
  OptionComboBox->setGeometry(72, 84, 585, 24);

  NrOfDataLabel = MakeLabel(page, "NrOfDataLabel", T::kNrOfDataLabel, 8, 118);
  NrOfDataEdit = MakeEdit(page, "NrOfDataEdit", T::kNrOfDataText, 72, 114, 60);
  NrOfDataEdit->setToolTip(T::kNrOfDataHint);

  HelpButton = MakeButton(page, "HelpButton", T::kHelpButton, QRect(150, 112, 120, 26));
  ClearButton = MakeButton(page, "ClearButton", T::kClearButton, QRect(280, 112, 80, 26));
  InputOpenButton =
      MakeButton(page, "InputOpenButton", T::kInputOpenButton, QRect(440, 112, 100, 26));
  InputSaveButton =
      MakeButton(page, "InputSaveButton", T::kInputSaveButton, QRect(550, 112, 107, 26));
}

void TInputTab::CreateGrid() {
  QWidget* page = this;
  TimeLabel = MakeLabel(page, "TimeLabel", T::kTimeLabel, 151, kLabelsTop);
  TimeLabel->setToolTip(T::kTimeHint);
  RainLabel = MakeLabel(page, "RainLabel", T::kRainLabel, 217, kLabelsTop);
  RainLabel->setToolTip(T::kRainHint);
  EvapLabel = MakeLabel(page, "EvapLabel", T::kEvapLabel, 281, kLabelsTop);
  RunoffLabel = MakeLabel(page, "RunoffLabel", T::kRunoffLabel, 365, kLabelsTop);
  RunoffLabel->setToolTip(T::kRunoffHint);
  for (QLabel* label : {TimeLabel, RainLabel, EvapLabel, RunoffLabel}) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label->resize(label == EvapLabel ? 82 : 62, 32);
  }
  StarLabel = MakeLabel(page, "StarLabel", T::kStarLabel, 432, kStarTop);

  StringGrid1 = new TStringGrid(page);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->SetColCount(4);
  StringGrid1->SetRowCount(20);
  StringGrid1->setGeometry(150, kGridTop, 282, kGridHeight);
}

void TInputTab::CreateParameterFields() {
  QWidget* page = this;
  FirstGroupBox = new QGroupBox(T::kFirstGroup, page);
  FirstGroupBox->setObjectName("FirstGroupBox");
  FirstGroupBox->setGeometry(445, 198, 212, 82);
  MaxStorLabel = MakeLabel(FirstGroupBox, "MaxStorLabel", T::kMaxStorLabel, 8, 26);
  // The fields start with the defaults that the data set takes (Intro tab).
  MaxStorEdit = MakeEdit(FirstGroupBox, "MaxStorEdit", "", 130, 22, 72);
  MaxStorEdit->setText(CellText(ReservoirDefaults::kMaxStorage));
  MaxStorEdit->setToolTip(T::kMaxStorHint);
  InitStorLabel = MakeLabel(FirstGroupBox, "InitStorLabel", T::kInitStorLabel, 8, 52);
  InitStorEdit = MakeEdit(FirstGroupBox, "InitStorEdit", "", 130, 48, 72);
  InitStorEdit->setText(CellText(ReservoirDefaults::kInitStorage));
  InitStorEdit->setToolTip(T::kInitStorHint);
  // The escape rate is entered per record in the grid; the hidden field
  // mirrors the data set's maximum escape rate.
  EscapeLabel = MakeLabel(FirstGroupBox, "EscapeLabel", T::kEscapeLabel, 8, 78);
  EscapeEdit = MakeEdit(FirstGroupBox, "EscapeEdit", "", 130, 74, 72);
  EscapeEdit->setText(CellText(ReservoirDefaults::kMaxEscape));
  EscapeEdit->setToolTip(T::kEscapeHint);
  EscapeLabel->hide();
  EscapeEdit->hide();

  TryMemo = MakeNote(page, "TryMemo", T::kTryMemo, QRect(445, 288, 212, 58));
  InfoMemo = MakeNote(page, "InfoMemo", T::kInfoMemo, QRect(445, 352, 212, 76));

  PredictGroupBox = new QGroupBox(T::kPredictGroup, page);
  PredictGroupBox->setObjectName("PredictGroupBox");
  PredictGroupBox->setGeometry(445, 288, 212, 106);
  InitRunLabel = MakeLabel(PredictGroupBox, "InitRunLabel", T::kInitRunLabel, 8, 26);
  InitRunEdit = MakeEdit(PredictGroupBox, "InitRunEdit", T::kZeroText, 152, 22, 52);
  InitLevelLabel = MakeLabel(PredictGroupBox, "InitLevelLabel", T::kInitLevelLabel, 8, 52);
  InitLevelEdit = MakeEdit(PredictGroupBox, "InitLevelEdit", T::kZeroText, 152, 48, 52);
  PorosityLabel = MakeLabel(PredictGroupBox, "PorosityLabel", T::kPorosityLabel, 8, 78);
  PorosityEdit = MakeEdit(PredictGroupBox, "PorosityEdit", T::kPorosityText, 152, 74, 52);

  AlphaGroupBox = new QGroupBox(T::kAlphaGroup, page);
  AlphaGroupBox->setObjectName("AlphaGroupBox");
  AlphaGroupBox->setGeometry(445, 400, 212, 106);
  AlphaLabel = MakeLabel(AlphaGroupBox, "AlphaLabel", T::kAlphaRunoff, 8, 24);
  A1Label = MakeLabel(AlphaGroupBox, "A1Label", T::kA1Label, 8, 52);
  A1coeffEdit = MakeEdit(AlphaGroupBox, "A1coeffEdit", "", 110, 48, 92);
  A1coeffEdit->setToolTip(T::kAlphaFieldHint);
  B1Label = MakeLabel(AlphaGroupBox, "B1Label", T::kB1Label, 8, 78);
  B1valueEdit = MakeEdit(AlphaGroupBox, "B1valueEdit", "", 110, 74, 92);
  B1valueEdit->setToolTip(T::kAlphaFieldHint);
}

void TInputTab::CreateNotes() {
  QWidget* page = this;
  AlfaMemo = MakeNote(page, "AlfaMemo", T::kAlfaMemo, QRect(300, 198, 138, 110));
  AlfaMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  AlfaButton = MakeButton(page, "AlfaButton", T::kAlfaButton, QRect(300, 314, 100, 26));

  InputImage = new QLabel(page);
  InputImage->setObjectName("InputImage");
  InputImage->setGeometry(8, 198, 137, 168);
  InputImage->setPixmap(LoadPicture(Pictures::kInput, host_.FormDialogs()));

  WaitMemo = new QPlainTextEdit(page);
  WaitMemo->setObjectName("WaitMemo");
  WaitMemo->setReadOnly(true);
  WaitMemo->setGeometry(150, 260, 282, 160);
  WaitMemo->setStyleSheet("QPlainTextEdit { background-color: blue; color: yellow; }");
  WaitMemo->hide();

  // Start layout: analysis, without the prediction groups.
  PredictGroupBox->hide();
  AlphaGroupBox->hide();
  AlfaMemo->hide();
  AlfaButton->hide();
}

void TInputTab::CreateCalibrationFields() {
  QWidget* page = this;
  CalibrateCheckBox = new QCheckBox(QString::fromUtf8(kCalibrateCheck), page);
  CalibrateCheckBox->setObjectName("CalibrateCheckBox");
  CalibrateCheckBox->setGeometry(445, 433, 212, 22);
  CalibrateCheckBox->setToolTip(kCalibrateHint);
  MaxStorRangeLabel = MakeLabel(page, "MaxStorRangeLabel", kMaxStorRangeLabel, 445, 461);
  MaxStorRangeEdit = MakeEdit(page, "MaxStorRangeEdit", "", 565, 458, 92);
  MaxStorRangeEdit->setToolTip(kMaxStorRangeHint);
  InitStorRangeLabel = MakeLabel(page, "InitStorRangeLabel", kInitStorRangeLabel, 445, 485);
  InitStorRangeEdit = MakeEdit(page, "InitStorRangeEdit", "", 565, 482, 92);
  InitStorRangeEdit->setToolTip(kInitStorRangeHint);
  CalibrateUntilLabel = MakeLabel(page, "CalibrateUntilLabel", kCalibrateUntilLabel, 445, 509);
  CalibrateUntilEdit = MakeEdit(page, "CalibrateUntilEdit", "", 565, 506, 92);
  CalibrateUntilEdit->setToolTip(kCalibrateUntilHint);
  MaxStorRangeEdit->setEnabled(false);
  InitStorRangeEdit->setEnabled(false);
}

namespace {
// A range shows from its beginning.
void ShowFromStart(QLineEdit* edit, const std::string& text) {
  edit->setText(QString::fromStdString(text));
  edit->setCursorPosition(0);
}
}  // namespace

void TInputTab::CalibrateCheckBoxClick() {
  const bool chosen = CalibrateCheckBox->isChecked();
  MaxStorRangeEdit->setEnabled(chosen);
  InitStorRangeEdit->setEnabled(chosen);
  if (!chosen) return;
  const TDMTevlora& d = session().Data;
  double rain = 0;
  const auto count = std::min<std::size_t>(std::max(d.NrOfData, 0), d.Rain.size());
  for (std::size_t k = 0; k < count; ++k) rain = std::max(rain, d.Rain[k]);
  const TStorageRanges defaults = DefaultStorageRangesForRain(rain);
  if (MaxStorRangeEdit->text().trimmed().isEmpty()) {
    ShowFromStart(MaxStorRangeEdit, StorageRangeText(defaults.MaxStorage));
  }
  if (InitStorRangeEdit->text().trimmed().isEmpty()) {
    ShowFromStart(InitStorRangeEdit, StorageFractionsText(defaults.InitialFractions));
  }
}

bool TInputTab::CalibrationChosen() const {
  return CalibrateCheckBox->isChecked() && AnalysisChosen();
}

std::optional<std::string> TInputTab::CalibrationRanges(const TStorageRanges& defaults,
                                                        TStorageRanges& ranges) {
  ranges = defaults;
  if (MaxStorRangeEdit->text().trimmed().isEmpty()) {
    ShowFromStart(MaxStorRangeEdit, StorageRangeText(defaults.MaxStorage));
  }
  if (InitStorRangeEdit->text().trimmed().isEmpty()) {
    ShowFromStart(InitStorRangeEdit, StorageFractionsText(defaults.InitialFractions));
  }
  if (auto complaint =
          ParseStorageRange(MaxStorRangeEdit->text().trimmed().toStdString(), ranges.MaxStorage)) {
    return std::string(kMaxStorRangeLabel) + ": " + *complaint;
  }
  const std::string initial = InitStorRangeEdit->text().trimmed().toStdString();
  if (initial.find(':') != std::string::npos) {
    ranges.InitialFractions.clear();
    if (auto complaint = ParseStorageRange(initial, ranges.InitialStorage)) {
      return std::string(kInitStorRangeLabel) + ": " + *complaint;
    }
    return std::nullopt;
  }
  std::vector<double> percentages;
  if (auto complaint = ParseStorageFractions(initial, percentages)) {
    return std::string(kInitStorRangeLabel) + ": " + *complaint;
  }
  ranges.InitialFractions.clear();
  for (double percentage : percentages) ranges.InitialFractions.push_back(percentage / 100);
  return std::nullopt;
}

std::optional<std::string> TInputTab::CalibrateUntilShown(std::optional<double>& until) const {
  until.reset();
  const std::string text = CalibrateUntilEdit->text().trimmed().toStdString();
  if (text.empty()) return std::nullopt;
  const std::optional<double> value = TryStringToFloat(text);
  if (!value || !std::isfinite(*value)) {
    return std::string(kCalibrateUntilLabel) + ": \"" + ShownValue(text) + "\" is not a number";
  }
  until = value;
  return std::nullopt;
}

void TInputTab::ShowStorages(double maxStorage, double initStorage) {
  MaxStorEdit->setText(CellText(maxStorage));
  InitStorEdit->setText(CellText(initStorage));
}

void TInputTab::ConnectControls(QAction* inputOpen, QAction* inputSave) {
  BindButton(InputOpenButton, inputOpen);
  BindButton(InputSaveButton, inputSave);
  connect(HelpButton, &QPushButton::clicked, this, &TInputTab::HelpClicked);
  connect(AlfaButton, &QPushButton::clicked, this, &TInputTab::AlfaClicked);
  connect(ClearButton, &QPushButton::clicked, this,
          [this] { host_.Guarded([this] { ClearButtonClick(); }); });
  connect(OptionComboBox, &QComboBox::currentIndexChanged, this,
          [this] { host_.Guarded([this] { OptionComboBoxChange(); }); });
  connect(StringGrid1, &TStringGrid::EditTextSet, this,
          [this](int column, int row, const QString& text) {
            host_.Guarded([&] { StringGrid1SetEditText(column, row, text); });
          });
  connect(StringGrid1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { GridContextMenu(position); });
  connect(CalibrateCheckBox, &QCheckBox::toggled, this,
          [this] { host_.Guarded([this] { CalibrateCheckBoxClick(); }); });

  OnExit(OptionComboBox, &TInputTab::OptionComboBoxExit);
  OnExit(NrOfDataEdit, &TInputTab::NrOfDataEditExit);
  OnExit(MaxStorEdit, &TInputTab::MaxStorEditExit);
  OnExit(InitStorEdit, &TInputTab::InitStorEditExit);
  OnExit(EscapeEdit, &TInputTab::EscapeEditExit);
  OnExit(A1coeffEdit, &TInputTab::A1coeffEditExit);
  OnExit(InitRunEdit, &TInputTab::InitRunEditExit);
  OnExit(InitLevelEdit, &TInputTab::InitLevelEditExit);
  OnExit(PorosityEdit, &TInputTab::PorosityEditExit);
}

// ---------------------------------------------------------------------------
// Layouts

void TInputTab::AnalysisLayout() {
  StringGrid1->SetColCount(4);
  StringGrid1->setGeometry(150, kGridTop, 282, kGridHeight);
  TimeLabel->move(151, kLabelsTop);
  RainLabel->move(217, kLabelsTop);
  EvapLabel->move(281, kLabelsTop);
  RunoffLabel->move(365, kLabelsTop);
  RunoffLabel->show();
  StarLabel->move(432, kStarTop);
  AlphaGroupBox->hide();
  PredictGroupBox->hide();
  AlphaLabel->setText(T::kAlphaRunoff);
  TryMemo->show();
  AlfaMemo->hide();
  AlfaButton->hide();
  for (QWidget* control : CalibrationControls()) control->show();
}

void TInputTab::PredictionLayout() {
  StringGrid1->SetColCount(3);
  StringGrid1->setGeometry(72, kGridTop, 219, kGridHeight);
  TimeLabel->move(86, kLabelsTop);
  RainLabel->move(142, kLabelsTop);
  EvapLabel->move(204, kLabelsTop);
  RunoffLabel->hide();
  StarLabel->move(285, kStarTop);
  AlphaGroupBox->show();
  PredictGroupBox->show();
  AlphaLabel->setText(T::kAlphaDischarge);
  AlphaLabel->adjustSize();
  TryMemo->hide();
  AlfaMemo->show();
  AlfaButton->show();
  for (QWidget* control : CalibrationControls()) control->hide();
}

void TInputTab::SetOptionItem(int item) {
  // Setting the item from the program is no option change by the user.
  const QSignalBlocker blocker(OptionComboBox);
  OptionComboBox->setCurrentIndex(item);
}

void TInputTab::ResizeRecords(int size) {
  TDMTevlora& d = session().Data;
  const auto count = static_cast<std::size_t>(std::max(size, 0));
  d.SerialNr.resize(count);
  d.Time.resize(count);
  d.Rain.resize(count);
  d.EscRate.resize(count);
  d.Runoff.resize(count);
  d.Removed.resize(count);
}

QString TInputTab::CellText(double value) const {
  return QString::fromStdString(ShortestText(value, CurrentDecimalSeparator));
}

// ---------------------------------------------------------------------------
// Tab shown and the data set in the tab

void TInputTab::TabShown() {
  TDMTevlora& d = session().Data;
  if (DrainageLayoutWithParameters()) host_.ShowCalculator();
  if (GridHasData) return;

  // Reset the tab to its defaults.
  FileNameLabel->hide();
  FileNameEdit->hide();
  d.Analysis = true;
  d.RunKind = " Ana";  // the mode line of the file follows RunKind
  SetOptionItem(0);
  BaseCount = kResetRows;
  d.NrOfData = kResetRows;
  StringGrid1->SetColCount(4);
  StringGrid1->SetRowCount(kResetRows);
  ResizeRecords(kResetRows + 1);
  AlphaGroupBox->hide();
  PredictGroupBox->hide();
  AlfaMemo->hide();
  AlfaButton->hide();
  d.Drainage = false;
  AnalysisLayout();
  ShowDataSet();
  StarLabel->move(424, kStarTop);
}

void TInputTab::ShowDataSet() {
  TDMTevlora& d = session().Data;
  const int n = std::max(d.NrOfData, 0);
  NrOfDataEdit->setText(QString::number(n));
  StringGrid1->SetRowCount(n);
  ResizeRecords(n + 1);

  auto showPredictionFields = [this, &d] {
    if (d.Porosity == 0) d.Porosity = 10;
    InitRunEdit->setText(CellText(d.InitRunoff));
    InitLevelEdit->setText(CellText(d.InitLevel));
    PorosityEdit->setText(CellText(d.Porosity));
  };

  if (GridHasData) {
    MaxStorEdit->setText(CellText(d.MaxStorage));
    InitStorEdit->setText(CellText(d.InitStorage));
    EscapeEdit->setText(CellText(d.MaxEscape));
    if (d.Analysis) {
      SetOptionItem(0);
      AnalysisLayout();
    } else {
      SetOptionItem(1);
      PredictionLayout();
      InfoMemo->hide();
      if (d.AlphaMissing) {
        A1coeffEdit->setText(T::kMissing);
        B1valueEdit->setText(T::kMissing);
      } else {
        A1coeffEdit->setText(CellText(session().Data.Values.AlphaA));
        B1valueEdit->setText(CellText(session().Data.Values.AlphaC));
      }
      showPredictionFields();
    }
  }

  if (d.RunKind == " Ana") FindAnalysisResults();

  if (AnalysisOutFound && d.RunKind == " Pre") {
    A1coeffEdit->setText(CellText(session().Data.Values.AlphaA));
    B1valueEdit->setText(CellText(session().Data.Values.AlphaC));
    Message(T::kCheckPrediction);
  }

  if (!GridHasData) {
    if (d.Analysis) {
      SetOptionItem(0);
      AnalysisLayout();
      if (AnalysisOutFound) {
        A1coeffEdit->setText(CellText(session().Data.Values.AlphaA));
        B1valueEdit->setText(CellText(session().Data.Values.AlphaC));
      }
    } else {
      SetOptionItem(1);
      PredictionLayout();
      A1coeffEdit->setText(CellText(session().Data.Values.AlphaA));
      B1valueEdit->setText(CellText(session().Data.Values.AlphaC));
      showPredictionFields();
    }
  }

  if (d.Analysis) d.Runoff.resize(static_cast<std::size_t>(std::max(d.NrOfData, 0)) + 1);
  std::fill(d.Removed.begin(), d.Removed.end(), false);

  ShowRecordsInGrid(n);
  BaseCount = d.NrOfData;
  TypedCount = d.NrOfData;
}

void TInputTab::FindAnalysisResults() {
  TDMTevlora& d = session().Data;
  AnalysisOutFound = false;
  d.OutFileName = ChangeFileExt(d.FileName, ".out");
  // A prediction switched to analysis has no analysis results: the results
  // file beside it is the prediction's.
  if (FileIsAnalysis && FileExists(d.OutFileName)) {
    AnalysisOutFound = true;
    // Only the alpha coefficients of the earlier analysis are wanted here:
    // the records shown are those of the input, whatever the results file
    // holds.
    const int count = d.NrOfData;
    const DataArrayI serials = d.SerialNr;
    d.LoadGraphSeries(1);
    d.NrOfData = count;
    d.SerialNr = serials;
  }
}

void TInputTab::ShowRecordsInGrid(int rows) {
  const TDMTevlora& d = session().Data;
  for (int r = 0; r < rows; ++r) {
    StringGrid1->setRowHeight(r, 20);
    if (GridHasData) {
      StringGrid1->SetCells(0, r, CellText(d.Time[r]));
      StringGrid1->SetCells(1, r, CellText(d.Rain[r]));
      StringGrid1->SetCells(2, r, CellText(d.EscRate[r]));
      if (d.Analysis) StringGrid1->SetCells(3, r, CellText(d.Runoff[r]));
    } else {
      for (int c = 0; c < 4; ++c) StringGrid1->SetCells(c, r, T::kZeroText);
    }
  }
}

void TInputTab::ShowDataSetKeepingTypedCells() {
  // What the user typed or pasted stays: the records are only brought up to
  // date when Save/Run reads the grid. A runoff column hidden in the
  // prediction layout gives back the values typed into it earlier.
  const int rows = StringGrid1->RowCount();
  const int shownColumns = StringGrid1->ColCount();
  std::vector<std::array<QString, 4>> typed(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 4; ++c) typed[r][c] = StringGrid1->Cells(c, r);
  }
  ShowDataSet();
  const int kept = std::min(rows, StringGrid1->RowCount());
  for (int r = 0; r < kept; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (c < shownColumns || !typed[r][c].isEmpty()) StringGrid1->SetCells(c, r, typed[r][c]);
    }
  }
}

// ---------------------------------------------------------------------------
// Option

void TInputTab::OptionComboBoxChange() {
  TDMTevlora& d = session().Data;
  const bool fromPrediction = !d.Analysis;
  InputImage->hide();
  InfoMemo->hide();
  const int item = OptionComboBox->currentIndex();
  d.Analysis = item == 0;
  GridHasData = true;
  d.RunKind = item == 0 ? " Ana" : " Pre";
  if (item == 0) {
    // An analysis has no drainage parameters to write beside it.
    DropDrainageParameters();
    AlfaMemo->hide();
    AlfaButton->hide();
    TryMemo->show();
    StarLabel->move(432, kStarTop);
    EvapLabel->move(281, kLabelsTop);
  } else {
    AlfaMemo->show();
    AlfaButton->show();
    TryMemo->hide();
    StarLabel->move(285, kStarTop);
    EvapLabel->move(204, kLabelsTop);
  }
  ShowDataSetKeepingTypedCells();
  // Records that came without runoff need it before an analysis can run.
  if (item == 0 && fromPrediction) {
    bool records = false;
    bool runoff = false;
    for (int r = 0; r < StringGrid1->RowCount(); ++r) {
      auto nonZero = [this, r](int column) {
        return TryStringToFloat(StringGrid1->Cells(column, r).toStdString()).value_or(0) != 0;
      };
      records = records || nonZero(0) || nonZero(1);
      runoff = runoff || nonZero(3);
    }
    if (records && !runoff) Message(T::kFillRunoff);
  }
}

void TInputTab::OptionComboBoxExit() {
  TDMTevlora& d = session().Data;
  const bool prediction = OptionComboBox->currentIndex() == 1;
  d.RunKind = prediction ? " Pre" : " Ana";
  AlfaMemo->setVisible(prediction);
  AlfaButton->setVisible(prediction);
}

// ---------------------------------------------------------------------------
// Number of data

void TInputTab::NrOfDataEditExit() {
  TDMTevlora& d = session().Data;
  const QString typed = NrOfDataEdit->text().trimmed();
  bool ok = false;
  int n = typed.toInt(&ok);
  // Digits too many for an integer are above the maximum, not malformed.
  static const QRegularExpression digits("^\\+?[0-9]+$");
  if (!ok && digits.match(typed).hasMatch()) {
    n = 1501;
    ok = true;
  }
  // Whatever happens, the field ends up showing the rows the grid has: they
  // are what Save/Run writes.
  struct TShowRows {
    QLineEdit* edit;
    TStringGrid* grid;
    ~TShowRows() { edit->setText(QString::number(grid->RowCount())); }
  } showRows{NrOfDataEdit, StringGrid1};
  if (!ok) {
    Message(T::kNotInteger);
    return;
  }
  bool told = false;
  if (n < 12) {
    Message(T::kMinimumData);
    n = 12;
    told = true;
  } else if (n > 1500) {
    Message(T::kMaximumData);
    n = 1500;
    told = true;
  }
  const int rows = StringGrid1->RowCount();
  // A grid below the minimum (after a paste, too) gets rows up to it.
  if (n > rows && (!Pasting || told)) {
    if (!told) Message(T::kAddData);
    ResizeRecords(std::max<int>(n + 1, static_cast<int>(d.Time.size())));
    // Rows the user asks for continue the time series with its last step.
    const std::optional<double> step = Pasting ? std::nullopt : LastTimeStep(rows);
    const double lastTime =
        step ? TryStringToFloat(StringGrid1->Cells(0, rows - 1).toStdString()).value_or(0) : 0;
    for (int i = std::max(rows, 0); i < n; ++i) {
      d.SerialNr[i] = i + 1;
      d.Time[i] = step ? lastTime + (i - rows + 1) * *step : 0;
      d.Rain[i] = 0;
      d.EscRate[i] = 0;
      d.Runoff[i] = 0;
    }
    d.NrOfData = n;
    ShowDataSetKeepingTypedCells();
    return;
  }
  // Rows beyond the maximum are not kept.
  if (n < rows && told && n == 1500) {
    StringGrid1->SetRowCount(n);
    d.NrOfData = n;
    BaseCount = n;
    return;
  }
  // A lower count drops the trailing rows that hold no values; rows with
  // values stay, and the user is told how to remove them.
  if (!Pasting && !told && n < rows) {
    const int kept = RowsWithoutTrailingBlanks(rows, n);
    if (kept < rows) {
      StringGrid1->SetRowCount(kept);
      d.NrOfData = kept;
      BaseCount = kept;
    }
    if (kept > n) Message(T::kRemoveData);
  }
}

// ---------------------------------------------------------------------------
// Grid edits and pasting

void TInputTab::StringGrid1SetEditText(int column, int row, const QString& text) {
  if (text.contains('\t') || text.contains('\r') || text.contains('\n')) {
    if (!HandlePasteMultiCell(StringGrid1, column, text, row)) {
      Message(T::kPasteFailed);
      host_.SelectTab(this);
      return;
    }
  } else {
    StringGrid1->SetCells(column, row, text);
  }
  AfterGridEdit();
}

void TInputTab::AfterGridEdit() {
  Pasting = true;
  struct TPastingOff {
    bool& flag;
    ~TPastingOff() { flag = false; }
  } pastingOff{Pasting};
  NrOfDataEditExit();
  GridHasData = true;
}

bool TInputTab::HandlePasteMultiCell(TStringGrid* grid, int column, const QString& text, int row) {
  TDMTevlora& d = session().Data;
  const QChar separator = QChar::fromLatin1(CurrentDecimalSeparator);
  int c = column;
  int r = row;
  grid->SetCells(c, r, "");
  int lines = 0;
  bool lineOpen = false;  // text after the last line end
  const int length = static_cast<int>(text.size());
  for (int i = 0; i < length; ++i) {
    const QChar ch = text[i];
    if (ch == '\t') {
      lineOpen = true;
      ++c;
      if (i + 1 < length) grid->SetCells(c, r, "");
    } else if (ch == '\r' || ch == '\n') {
      // CR LF, LF or CR alone: each ends one row.
      if (ch == '\r' && i + 1 < length && text[i + 1] == '\n') ++i;
      ++lines;
      lineOpen = false;
      ++r;
      c = column;
      if (i + 1 < length) grid->SetCells(c, r, "");
    } else {
      lineOpen = true;
      if (ch == '-' || (ch >= '0' && ch <= '9') || ch == separator) {
        grid->SetCells(c, r, grid->Cells(c, r) + ch);
      }
    }
  }
  // A last line without a line end is a row as well.
  if (lineOpen) ++lines;

  int rows = lines + row;
  grid->SetRowCount(rows);
  NrOfDataEdit->setText(QString::number(rows));
  d.NrOfData = rows;
  if (rows < BaseCount && d.ConfirmYesNo(T::kKeepCount)) {
    d.NrOfData = BaseCount;
    grid->SetRowCount(BaseCount);
  }
  d.NrOfData = grid->RowCount();
  NrOfDataEdit->setText(QString::number(d.NrOfData));
  ResizeRecords(d.NrOfData + 1);

  for (int i = 0; i < d.NrOfData; ++i) {
    int time = 0;
    if (!CellInteger(grid->Cells(0, i), time)) return false;
    d.Time[i] = time;
    const auto rain = TryStringToFloat(grid->Cells(1, i).toStdString());
    host_.RestoreDecimalSeparator();
    if (!rain) return false;
    d.Rain[i] = *rain;
    if (grid->Cells(2, i).isEmpty()) grid->SetCells(2, i, T::kZeroText);
    const auto escape = TryStringToFloat(grid->Cells(2, i).toStdString());
    if (!escape) return false;
    d.EscRate[i] = *escape;
  }

  for (int i = 0; i < d.NrOfData; ++i) d.Removed[i] = false;
  d.Analysis = OptionComboBox->currentIndex() == 0;
  if (d.Analysis) {
    AnalysisLayout();
    SetOptionItem(0);
  } else {
    PredictionLayout();
    grid->resize(218, grid->height());
    SetOptionItem(1);
  }
  BaseCount = d.NrOfData;
  return true;
}

void TInputTab::GridContextMenu(const QPoint& position) {
  const QModelIndex index = StringGrid1->indexAt(position);
  if (index.isValid() && !StringGrid1->selectionModel()->isSelected(index)) {
    StringGrid1->setCurrentCell(index.row(), index.column());
  }
  StringGrid1->setFocus(Qt::PopupFocusReason);
  QMenu menu(StringGrid1);
  // The items of the Edit menu, on the grid.
  const auto item = [&menu, this](int which, void (TInputTab::*command)()) {
    QAction* action =
        menu.addAction(editActions_[which]->text(), this, [this, command] { (this->*command)(); });
    action->setShortcut(editActions_[which]->shortcut());
    return action;
  };
  item(0, &TInputTab::GridCut);
  item(1, &TInputTab::GridCopy);
  QAction* paste = item(2, &TInputTab::GridPaste);
  paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
  item(3, &TInputTab::GridDelete);
  menu.exec(StringGrid1->viewport()->mapToGlobal(position));
}

void TInputTab::GridCopy() {
  const auto ranges = StringGrid1->selectedRanges();
  if (ranges.isEmpty()) {
    QApplication::clipboard()->setText(
        StringGrid1->Cells(StringGrid1->CurrentColumn(), StringGrid1->CurrentRow()));
    return;
  }
  const QTableWidgetSelectionRange range = ranges.constFirst();
  QString text;
  for (int r = range.topRow(); r <= range.bottomRow(); ++r) {
    for (int c = range.leftColumn(); c <= range.rightColumn(); ++c) {
      if (c > range.leftColumn()) text += '\t';
      text += StringGrid1->Cells(c, r);
    }
    text += '\n';
  }
  QApplication::clipboard()->setText(text);
}

void TInputTab::GridDelete() {
  host_.Guarded([this] {
    const auto ranges = StringGrid1->selectedRanges();
    if (ranges.isEmpty()) {
      StringGrid1SetEditText(StringGrid1->CurrentColumn(), StringGrid1->CurrentRow(), "");
      return;
    }
    for (const QTableWidgetSelectionRange& range : ranges) {
      for (int r = range.topRow(); r <= range.bottomRow(); ++r) {
        for (int c = range.leftColumn(); c <= range.rightColumn(); ++c) {
          StringGrid1->SetCells(c, r, "");
        }
      }
    }
    AfterGridEdit();
  });
}

void TInputTab::GridCut() {
  GridCopy();
  GridDelete();
}

void TInputTab::GridPaste() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  host_.Guarded([&] {
    StringGrid1SetEditText(StringGrid1->CurrentColumn(), StringGrid1->CurrentRow(), text);
  });
}

// ---------------------------------------------------------------------------
// Edit actions: on the focused field, or on the grid

void TInputTab::EditCut() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == StringGrid1) return GridCut();
  if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
    if (!edit->isReadOnly()) edit->cut();
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus)) {
    if (!memo->isReadOnly()) memo->cut();
  }
}

void TInputTab::EditCopy() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == StringGrid1) return GridCopy();
  if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
    edit->copy();
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus)) {
    memo->copy();
  }
}

void TInputTab::EditPaste() {
  QWidget* focus = QApplication::focusWidget();
  if (auto* cellEditor = qobject_cast<TGridCellEditor*>(focus)) return cellEditor->PasteClipboard();
  if (focus == StringGrid1) return GridPaste();
  if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
    if (!edit->isReadOnly()) edit->paste();
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus)) {
    if (!memo->isReadOnly()) memo->paste();
  }
}

void TInputTab::EditDelete() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == StringGrid1) return GridDelete();
  if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
    if (!edit->isReadOnly()) edit->del();
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus)) {
    if (!memo->isReadOnly()) memo->textCursor().removeSelectedText();
  }
}

// ---------------------------------------------------------------------------
// Clear all

void TInputTab::ClearButtonClick() {
  if (!host_.ClearAllAllowed()) return;
  for (QLineEdit* edit : {A1coeffEdit, B1valueEdit, InitRunEdit, InitLevelEdit, MaxStorEdit,
                          InitStorEdit, EscapeEdit, Title1Edit, Title2Edit}) {
    edit->clear();
  }
  PorosityEdit->setText(T::kPorosityCleared);
  NrOfDataEdit->setText(QString::number(kResetRows));
  // The old data set must not come back through an option switch, a count
  // change or Save/Run, nor its file be shown as the current one.
  ClearDataSet();
  FileNameEdit->clear();
  FileNameLabel->hide();
  FileNameEdit->hide();
  StringGrid1->SetRowCount(kResetRows);
  if (session().Data.Analysis) {
    AnalysisLayout();
    SetOptionItem(0);
  } else {
    PredictionLayout();
    SetOptionItem(1);
  }
  // The runoff column is cleared too: its old values would be saved again.
  StringGrid1->ForgetRowsFrom(0);
  for (int r = 0; r < kResetRows; ++r) {
    for (int c = 0; c < 4; ++c) StringGrid1->SetCells(c, r, T::kZeroText);
  }
  BaseCount = kResetRows;
  TypedCount = kResetRows;
  GridHasData = false;
  host_.InputCleared();
}

void TInputTab::ClearDataSet() {
  TDMTevlora& d = session().Data;
  d.FileName = host_.StartDirectory();
  d.Title1.clear();
  d.Title2.clear();
  // The fields are empty (the porosity field shows 5): the data set holds
  // no value of the old one either.
  d.MaxStorage = 0;
  d.InitStorage = 0;
  d.MaxEscape = 0;
  d.InitRunoff = 0;
  d.InitLevel = 0;
  d.Porosity = TryStringToFloat(T::kPorosityCleared).value_or(0);
  session().Data.Values.AlphaA = 0;
  session().Data.Values.AlphaC = 0;
  d.AlphaMissing = false;
  d.Drainage = false;
  d.NrOfData = kResetRows;
  ResizeRecords(0);
  ResizeRecords(kResetRows + 1);
  for (int i = 0; i <= kResetRows; ++i) d.SerialNr[i] = i + 1;
  AnalysisOutFound = false;
  FileIsAnalysis = false;
  DropDrainageParameters();
  host_.ClearCalculator();
}

void TInputTab::DropDrainageParameters() {
  session().Data.ParLoaded = false;
  host_.HideCalculator();
}

bool TInputTab::DrainageLayoutWithParameters() const {
  const TDMTevlora& d = session().Data;
  return d.ParLoaded && !d.Analysis && d.Drainage;
}

// ---------------------------------------------------------------------------
// Field checks

bool TInputTab::CheckField(QLineEdit* edit, double& target, const TFieldRule& rule) {
  const auto value = TryStringToFloat(edit->text().toStdString());
  // A rejected value never reaches the data set: the field and the data set
  // both take the reset value.
  auto reset = [&](const char* message, const char* resetText) {
    Message(message);
    edit->setText(resetText);
    host_.RestoreDecimalSeparator();
    target = TryStringToFloat(resetText).value_or(0);
    return false;
  };
  if (!value) return reset(rule.NotANumber, rule.ResetText);
  const char* rangeReset = rule.RangeResetText != nullptr ? rule.RangeResetText : rule.ResetText;
  if (rule.BelowZero != nullptr && *value < 0) return reset(rule.BelowZero, rangeReset);
  if (rule.AboveHundred != nullptr && *value > 100) return reset(rule.AboveHundred, rangeReset);
  target = *value;
  return true;
}

TInputTab::TFieldRule TInputTab::RuleOf(const QLineEdit* edit) const {
  if (edit == MaxStorEdit) return {T::kMaxStorNaN, T::kZeroText, T::kMaxStorRange};
  if (edit == InitStorEdit) return {T::kInitStorNaN, T::kZeroText, T::kInitStorRange};
  if (edit == EscapeEdit) return {T::kEscapeNaN, T::kZeroText};
  if (edit == A1coeffEdit) return {T::kA1NaN, T::kZeroText};
  if (edit == B1valueEdit) return {T::kB1NaN, T::kZeroText};
  if (edit == InitRunEdit) return {T::kInitRunNaN, T::kZeroText, T::kInitRunRange};
  if (edit == InitLevelEdit) return {T::kInitLevelNaN, T::kZeroText, T::kInitLevelRange};
  if (edit == PorosityEdit) {
    return {T::kPorosityNaN, T::kZeroText, T::kPorosityNegative, T::kPorosityTooLarge,
            T::kPorosityReset};
  }
  return {};
}

const char* TInputTab::FieldProblem(const QLineEdit* edit, const TFieldRule& rule) {
  const auto value = TryStringToFloat(edit->text().toStdString());
  if (!value) return rule.NotANumber;
  if (rule.BelowZero != nullptr && *value < 0) return rule.BelowZero;
  if (rule.AboveHundred != nullptr && *value > 100) return rule.AboveHundred;
  return nullptr;
}

std::string TInputTab::ShownFieldProblems() const {
  std::string problems;
  auto add = [&problems](const char* problem) {
    if (problem == nullptr) return;
    if (!problems.empty()) problems += '\n';
    problems += problem;
  };
  bool countOk = false;
  NrOfDataEdit->text().trimmed().toInt(&countOk);
  if (!countOk) add(T::kNotInteger);
  std::vector<const QLineEdit*> shown = {MaxStorEdit, InitStorEdit};
  if (!session().Data.Analysis) {
    shown.insert(shown.end(), {InitRunEdit, InitLevelEdit, PorosityEdit, A1coeffEdit, B1valueEdit});
  }
  for (const QLineEdit* edit : shown) add(FieldProblem(edit, RuleOf(edit)));
  return problems;
}

void TInputTab::MaxStorEditExit() {
  CheckField(MaxStorEdit, session().Data.MaxStorage, RuleOf(MaxStorEdit));
}

void TInputTab::InitStorEditExit() {
  CheckField(InitStorEdit, session().Data.InitStorage, RuleOf(InitStorEdit));
}

void TInputTab::EscapeEditExit() {
  CheckField(EscapeEdit, session().Data.MaxEscape, RuleOf(EscapeEdit));
}

void TInputTab::A1coeffEditExit() {
  CheckField(A1coeffEdit, session().Data.Values.AlphaA, RuleOf(A1coeffEdit));
}

void TInputTab::InitRunEditExit() {
  CheckField(InitRunEdit, session().Data.InitRunoff, RuleOf(InitRunEdit));
}

void TInputTab::InitLevelEditExit() {
  CheckField(InitLevelEdit, session().Data.InitLevel, RuleOf(InitLevelEdit));
}

void TInputTab::PorosityEditExit() {
  CheckField(PorosityEdit, session().Data.Porosity, RuleOf(PorosityEdit));
}

// ---------------------------------------------------------------------------
// The tab in the window

TInputTab::~TInputTab() {
  // The fields go after this object's own part: their last signals and
  // focus changes must not reach it.
  for (QObject* child : findChildren<QObject*>())
    QObject::disconnect(child, nullptr, this, nullptr);
  for (QObject* watched : exitHandlers_.keys()) watched->removeEventFilter(this);
}

void TInputTab::SetEditActions(QAction* cut, QAction* copy, QAction* paste, QAction* erase) {
  editActions_[0] = cut;
  editActions_[1] = copy;
  editActions_[2] = paste;
  editActions_[3] = erase;
}

void TInputTab::OnExit(QWidget* widget, void (TInputTab::*handler)()) {
  exitHandlers_.insert(widget, handler);
  widget->installEventFilter(this);
}

bool TInputTab::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // Leaving the field, not a message box or menu taking the focus for a
    // moment.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      const auto handler = exitHandlers_.value(watched, nullptr);
      if (handler != nullptr) {
        QMetaObject::invokeMethod(
            this, [this, handler] { host_.Guarded([this, handler] { (this->*handler)(); }); },
            Qt::QueuedConnection);
      }
    }
  }
  return TRainFormTab::eventFilter(watched, event);
}

void TInputTab::Arrange() {
  // Alt+F and Alt+E open the menus; the buttons of the tab share no letter
  // with them or with each other.
  const std::pair<QPushButton*, char> letters[] = {{HelpButton, 'h'},
                                                   {ClearButton, 'c'},
                                                   {InputOpenButton, 'i'},
                                                   {InputSaveButton, 's'},
                                                   {AlfaButton, 'a'}};
  for (const auto& [button, letter] : letters) {
    button->setText(WithMnemonic(button->text(), QChar::fromLatin1(letter)));
  }

  // The fields of the top block start right of the widest of their labels.
  int fieldLeft = FileNameEdit->x();
  for (QLabel* label : {FileNameLabel, Title1Label, Title2Label, OptionLabel, NrOfDataLabel}) {
    label->adjustSize();
    fieldLeft = std::max(fieldLeft, label->x() + label->width() + kLabelGap);
  }
  const std::array<QWidget*, 4> wide = {FileNameEdit, Title1Edit, Title2Edit, OptionComboBox};
  for (QWidget* field : wide) {
    const int right = field->geometry().right();
    field->setGeometry(fieldLeft, field->y(), right - fieldLeft + 1, field->height());
  }
  NrOfDataEdit->move(fieldLeft, NrOfDataEdit->y());

  // The titles widen, the grid shows more rows.
  TAnchorPanel* input = MoveIntoAnchorPanel(this, kDesign);
  for (QWidget* field : wide) {
    input->Anchor(field,
                  TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop | TAnchorPanel::AnchorRight);
  }
  input->Anchor(StringGrid1,
                TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop | TAnchorPanel::AnchorBottom);
}

bool TInputTab::AnalysisChosen() const {
  return OptionComboBox->currentIndex() == 0;
}

void TInputTab::SetAlfaNoteVisible(bool visible) {
  AlfaMemo->setVisible(visible);
  AlfaButton->setVisible(visible);
}

void TInputTab::SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                                  const QString& porosity) {
  A1coeffEdit->setText(bCoefficient);
  B1valueEdit->setText(fValue);
  PorosityEdit->setText(porosity);
}

void TInputTab::ShowOpenedFile() {
  TDMTevlora& d = session().Data;
  // Nothing of an earlier file stays behind: the grid forgets every cell it
  // held.
  StringGrid1->ForgetRowsFrom(0);
  FileIsAnalysis = d.Analysis;
  // A parameter file beside an analysis belongs to no drainage prediction:
  // it neither makes the data set one nor is written again.
  if (d.Analysis) {
    d.ParLoaded = false;
    d.Drainage = false;
  }
  // Drainage parameters beside the file: the calculator shows them.
  if (DrainageLayoutWithParameters()) host_.ShowCalculator();

  NrOfDataEdit->setText(QString::number(d.NrOfData));
  SetAlfaNoteVisible(d.Drainage);
  ShowFileName();
  InputImage->hide();
  host_.HideComment();
  Title1Edit->setText(FileText(d.Title1));
  Title2Edit->setText(FileText(d.Title2));
  // Long titles show from their beginning.
  for (QLineEdit* edit : {Title1Edit, Title2Edit}) edit->setCursorPosition(0);
  NrOfDataEdit->setText(QString::number(d.NrOfData));
  MaxStorEdit->setText(CellText(d.MaxStorage));
  InitStorEdit->setText(CellText(d.InitStorage));
  EscapeEdit->setText(CellText(d.MaxEscape));
  GridHasData = true;
}

std::optional<double> TInputTab::MaxStorageShown() const {
  return TryStringToFloat(MaxStorEdit->text().toStdString());
}

std::optional<double> TInputTab::InitStorageShown() const {
  return TryStringToFloat(InitStorEdit->text().toStdString());
}

void TInputTab::ShowImportedTable() {
  const TDMTevlora& d = session().Data;
  Title1Edit->setText(FileText(d.Title1));
  Title2Edit->setText(FileText(d.Title2));
  for (QLineEdit* edit : {Title1Edit, Title2Edit}) edit->setCursorPosition(0);
  FileNameEdit->hide();
  FileNameLabel->hide();
  InputImage->hide();
  host_.HideComment();
  GridHasData = true;
  ShowGridFromTop();
}

void TInputTab::ShowFileName() {
  FileNameEdit->setText(QtFileName(session().Data.FileName));
  // A long name shows from its beginning.
  FileNameEdit->setCursorPosition(0);
  FileNameEdit->show();
  FileNameLabel->show();
}

void TInputTab::HideFileName() {
  FileNameLabel->hide();
  FileNameEdit->hide();
}

// ---------------------------------------------------------------------------
// Save/Run's steps on the tab

void TInputTab::TakeTitles() {
  TDMTevlora& d = session().Data;
  d.Title1 = Title1Edit->text().toStdString();
  d.Title2 = Title2Edit->text().toStdString();
}

void TInputTab::ShowWaitMemo() {
  WaitMemo->show();
  WaitMemo->raise();
  WaitMemo->clear();
}

void TInputTab::HideWaitMemo(bool clear) {
  if (clear) WaitMemo->clear();
  WaitMemo->hide();
}

void TInputTab::AppendProgress(const QString& line) {
  WaitMemo->appendPlainText(line);
}

void TInputTab::ShowRunCount(int count) {
  NrOfDataEdit->setText(QString::number(count));
}

bool TInputTab::ReadGridRecords(TGridRows& rows) {
  TDMTevlora& d = session().Data;
  // Every row the grid shows is visited, and only those: hidden cells never
  // reach the file.
  const int shown = StringGrid1->RowCount();
  ResizeRecords(std::max({shown, d.NrOfData, BaseCount}) + 1);
  const bool analysis = d.Analysis;
  d.NrOfData = shown;
  for (int r = 0; r < shown; ++r) {
    const QString time = StringGrid1->Cells(0, r);
    const QString rain = StringGrid1->Cells(1, r);
    const QString escape = StringGrid1->Cells(2, r);
    const bool complete = analysis ? !rain.isEmpty() && !escape.isEmpty() : !rain.isEmpty();
    if (time.isEmpty() || !complete) {
      d.Removed[r] = true;
      --d.NrOfData;
      rows.RowLeftOut = true;
      continue;
    }
    const auto timeValue = TryStringToFloat(time.toStdString());
    const auto rainValue = TryStringToFloat(rain.toStdString());
    const auto escapeValue = TryStringToFloat(escape.toStdString());
    std::optional<double> runoffValue = 0.0;
    if (analysis) runoffValue = TryStringToFloat(StringGrid1->Cells(3, r).toStdString());
    if (!timeValue || !rainValue || !escapeValue || !runoffValue) {
      host_.RestoreDecimalSeparator();
      const int column = !timeValue ? 0 : !rainValue ? 1 : !escapeValue ? 2 : 3;
      Message(NotAllRealText(r, column, StringGrid1->Cells(column, r)));
      return false;
    }
    d.Time[r] = *timeValue;
    d.Rain[r] = *rainValue;
    d.EscRate[r] = *escapeValue;
    if (analysis) d.Runoff[r] = *runoffValue;
    d.Removed[r] = false;
    rows.Kept.push_back(r);
  }
  host_.RestoreDecimalSeparator();
  return true;
}

bool TInputTab::CheckRecordsAndFields() {
  TDMTevlora& d = session().Data;
  const QString countText = NrOfDataEdit->text().trimmed();
  bool countOk = false;
  const int typed = countText.toInt(&countOk);
  if (!countOk) {
    throw TIOError("'" + NrOfDataEdit->text().toStdString() + "' is not a valid integer value");
  }
  // The check covers every row that will be written (left-out rows are
  // skipped by it).
  d.NrOfData = StringGrid1->RowCount();
  if (!InputCheck(d)) {
    Message(T::kInputErrors);
    return false;
  }
  TypedCount = typed;

  // What the fields show is what is written.
  if (!CheckField(MaxStorEdit, d.MaxStorage, RuleOf(MaxStorEdit)) ||
      !CheckField(InitStorEdit, d.InitStorage, RuleOf(InitStorEdit))) {
    return false;
  }
  if (!d.Analysis) {
    d.Values.AlphaA = StringToFloat(A1coeffEdit->text().toStdString());
    d.Values.AlphaC = StringToFloat(B1valueEdit->text().toStdString());
    d.InitRunoff = StringToFloat(InitRunEdit->text().toStdString());
    d.InitLevel = StringToFloat(InitLevelEdit->text().toStdString());
    d.Porosity = StringToFloat(PorosityEdit->text().toStdString());
  }
  return true;
}

void TInputTab::AfterInputWritten(const TGridRows& rows) {
  TDMTevlora& d = session().Data;
  const bool analysis = d.Analysis;
  FileIsAnalysis = analysis;
  // The alpha coefficients written were read from the fields: none of them
  // is missing any more.
  if (!analysis) d.AlphaMissing = false;
  // The file just written is the current one, whatever the run does next.
  ShowFileName();

  // The grid and the records now hold exactly the rows written, in order.
  const int written = static_cast<int>(rows.Kept.size());
  for (int i = 0; i < written; ++i) {
    const int r = rows.Kept[i];
    d.Time[i] = d.Time[r];
    d.Rain[i] = d.Rain[r];
    d.EscRate[i] = d.EscRate[r];
    d.Runoff[i] = d.Runoff[r];
    d.SerialNr[i] = i + 1;
  }
  ResizeRecords(written + 1);
  std::fill(d.Removed.begin(), d.Removed.end(), false);
  d.NrOfData = written;
  NrOfDataEdit->setText(QString::number(written));
  StringGrid1->SetRowCount(written);
  if (rows.RowLeftOut) {
    for (int i = 0; i < written; ++i) {
      StringGrid1->SetCells(0, i, CellText(d.Time[i]));
      StringGrid1->SetCells(1, i, CellText(d.Rain[i]));
      StringGrid1->SetCells(2, i, CellText(d.EscRate[i]));
      if (analysis) StringGrid1->SetCells(3, i, CellText(d.Runoff[i]));
    }
    StringGrid1->ForgetRowsFrom(written);
  }
  BaseCount = written;
}
