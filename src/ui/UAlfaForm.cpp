#include "UAlfaForm.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "TextFile.h"
#include "UFormHelpers.h"
#include "UIntroPages.h"
#include "UWindowLayout.h"

namespace AlfaFormTexts {
const char* const kReference =
    "The equivalent depth d is calculated with the closed-form solution (x <= 1) and the "
    "series solution (x > 1) that were published in 1991 to replace the tables for the "
    "thickness of the equivalent layer in Hooghoudt's drain spacing formula.";

QString DoneText(const QString& parFileName, TTimeUnit unit) {
  return QString::fromUtf8(AlfaTexts::kDone) + '\n' +
         QString::fromUtf8(kUnits[static_cast<int>(unit)]) +
         QStringLiteral("\nThe drainage parameters are kept in the file \"%1\".").arg(parFileName);
}

QString ParNotWrittenText(const QString& parFileName) {
  return QStringLiteral("The file \"%1\" could not be written").arg(parFileName);
}
}  // namespace AlfaFormTexts

namespace {
QLabel* NewLabel(const char* name, const char* caption, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(name);
  return label;
}

QLineEdit* NewEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setFixedWidth(80);
  return edit;
}
}  // namespace

TAlfaForm::TAlfaForm(TDMTevlora& dataModule, TUserDialogs* dialogs, TInputTabFields* inputTab,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), dataModule_(dataModule), dialogs_(dialogs), inputTab_(inputTab) {
  namespace T = AlfaFormTexts;
  setObjectName("AlfaForm");
  setWindowTitle(T::kCaption);
  resize(497, 591);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setFixedSize(400, 187);
  Image1->setPixmap(LoadPicture(Pictures::kDrainage, Dialogs()));

  Label1 = NewLabel("Label1", T::kLabels[0], this);
  Label2 = NewLabel("Label2", T::kLabels[1], this);
  Label3 = NewLabel("Label3", T::kLabels[2], this);
  Label4 = NewLabel("Label4", T::kLabels[3], this);
  Label5 = NewLabel("Label5", T::kLabels[4], this);
  Label6 = NewLabel("Label6", T::kLabels[5], this);
  Edit1 = NewEdit("Edit1", this);
  Edit2 = NewEdit("Edit2", this);
  Edit3 = NewEdit("Edit3", this);
  Edit4 = NewEdit("Edit4", this);
  Edit5 = NewEdit("Edit5", this);
  Edit6 = NewEdit("Edit6", this);
  edits_ = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6};

  Button1 = new QPushButton(WithMnemonic(T::kButton, 'c'), this);
  Button1->setObjectName("Button1");
  TxTLabel = NewLabel("TxTLabel", T::kFunction, this);
  Label7 = NewLabel("Label7", T::kBLabel, this);
  Label8 = NewLabel("Label8", T::kFLabel, this);
  Edit7 = NewEdit("Edit7", this);
  Edit8 = NewEdit("Edit8", this);
  BUnitLabel = NewLabel("BUnitLabel", T::kPer[0], this);
  FUnitLabel = NewLabel("FUnitLabel", T::kPer[0], this);
  TimeUnitLabel = NewLabel("TimeUnitLabel", T::kTimeUnitLabel, this);
  TimeUnitComboBox = new QComboBox(this);
  TimeUnitComboBox->setObjectName("TimeUnitComboBox");
  for (const char* unit : T::kTimeUnits) TimeUnitComboBox->addItem(QString::fromUtf8(unit));
  TimeUnitLabel->setBuddy(TimeUnitComboBox);
  Edit7->setReadOnly(true);
  Edit8->setReadOnly(true);
  Memo1 = new QPlainTextEdit(QString::fromUtf8(T::kReference), this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  LayOutControls();

  connect(Edit1, &QLineEdit::editingFinished, this, &TAlfaForm::Edit1Exit);
  connect(Edit2, &QLineEdit::editingFinished, this, &TAlfaForm::Edit2Exit);
  connect(Edit3, &QLineEdit::editingFinished, this, &TAlfaForm::Edit3Exit);
  connect(Edit4, &QLineEdit::editingFinished, this, &TAlfaForm::Edit4Exit);
  connect(Edit5, &QLineEdit::editingFinished, this, &TAlfaForm::Edit5Exit);
  connect(Edit6, &QLineEdit::editingFinished, this, &TAlfaForm::Edit6Exit);
  for (QLineEdit* edit : edits_) {
    connect(edit, &QLineEdit::textChanged, this, &TAlfaForm::ClearResults);
  }
  // B and F of the other time unit are other numbers: a new choice, like a
  // new field value, asks for Calculate again.
  connect(TimeUnitComboBox, &QComboBox::currentIndexChanged, this, [this] {
    ClearResults();
    ShowTimeUnit();
  });
  connect(Button1, &QPushButton::clicked, this, &TAlfaForm::Button1Click);
  FormCreate();
}

void TAlfaForm::LayOutControls() {
  auto* fields = new QGridLayout;
  QLabel* const labels[kDrainFieldCount] = {Label1, Label2, Label3, Label4, Label5, Label6};
  for (int i = 0; i < kDrainFieldCount; ++i) {
    fields->addWidget(labels[i], i, 0);
    fields->addWidget(edits_[i], i, 1);
  }
  fields->setColumnStretch(0, 1);

  auto* results = new QHBoxLayout;
  results->addWidget(Label7);
  results->addWidget(Edit7);
  results->addWidget(BUnitLabel);
  results->addSpacing(24);
  results->addWidget(Label8);
  results->addWidget(Edit8);
  results->addWidget(FUnitLabel);
  results->addStretch(1);
  auto* timeUnit = new QHBoxLayout;
  timeUnit->addWidget(TimeUnitLabel);
  timeUnit->addWidget(TimeUnitComboBox);
  timeUnit->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Image1, 0, Qt::AlignHCenter);
  layout->addLayout(fields);
  layout->addWidget(Button1, 0, Qt::AlignLeft);
  layout->addWidget(TxTLabel);
  layout->addLayout(timeUnit);
  layout->addLayout(results);
  layout->addWidget(Memo1, 1);
}

TUserDialogs& TAlfaForm::Dialogs() const {
  return dialogs_ ? *dialogs_ : *dataModule_.Dialogs;
}

void TAlfaForm::Message(const std::string& text) {
  Dialogs().Message(text);
  // The message box belongs to the main window, which takes the focus when
  // the box closes: the calculator, still at work, comes to the front again.
  if (isVisible()) {
    raise();
    activateWindow();
  }
}

QLineEdit* TAlfaForm::FieldEdit(TDrainField field) const {
  return edits_[static_cast<int>(field)];
}

void TAlfaForm::ShowCalculator() {
  show();
  raise();
  activateWindow();
}

TTimeUnit TAlfaForm::TimeUnit() const {
  return TimeUnitComboBox->currentIndex() == 1 ? TTimeUnit::Hours : TTimeUnit::Days;
}

void TAlfaForm::ShowTimeUnit() {
  const QString per = QString::fromUtf8(AlfaFormTexts::kPer[static_cast<int>(TimeUnit())]);
  BUnitLabel->setText(per);
  FUnitLabel->setText(per);
}

void TAlfaForm::ClearInputs() {
  StoreDrainageInputs(TDrainageInputs{}, dataModule_.Values);
  for (QLineEdit* edit : edits_) edit->clear();
  ClearResults();
  InputsValid = false;
}

void TAlfaForm::FormCreate() {
  StoreDrainageInputs(TDrainageInputs{}, dataModule_.Values);
}

void TAlfaForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Restoring a minimised window is no new showing of the calculator.
  if (!event->spontaneous()) FormShow();
}

void TAlfaForm::FormShow() {
  // Each showing may be for another data set: its titles and times say again
  // which time unit to offer.
  const DataArrayR& time = dataModule_.Time;
  const auto records = static_cast<std::ptrdiff_t>(std::min<std::size_t>(
      static_cast<std::size_t>(std::max(0, dataModule_.NrOfData)), time.size()));
  const TTimeUnit suggested = SuggestedTimeUnit(dataModule_.Title2, dataModule_.Title1,
                                                {time.begin(), time.begin() + records});
  TimeUnitComboBox->setCurrentIndex(static_cast<int>(suggested));
  ShowTimeUnit();
  const std::string parFileName = ChangeFileExt(dataModule_.FileName, ".par");
  if (!QFileInfo::exists(QtFileName(parFileName))) return;
  const TDrainageInputs inputs = CurrentDrainageInputs(dataModule_.Values);
  for (int i = 0; i < kDrainFieldCount; ++i) {
    const double value = inputs[static_cast<TDrainField>(i)];
    edits_[i]->setText(QString::fromStdString(ShortestText(value, CurrentDecimalSeparator)));
  }
}

void TAlfaForm::EditExit(TDrainField field) {
  QLineEdit* edit = FieldEdit(field);
  double value = 0;
  try {
    value = StringToFloat(edit->text().toStdString());
  } catch (const TIOError& error) {
    Message(error.what());
    return;
  }
  TDrainageInputs inputs = CurrentDrainageInputs(dataModule_.Values);
  inputs[field] = value;
  const TFieldCheck check = CheckDrainageField(field, value);
  if (!check.Accepted) {
    Message(check.Message);
    edit->clear();
    inputs[field] = check.Stored;
    StoreDrainageInputs(inputs, dataModule_.Values);
    return;
  }
  StoreDrainageInputs(inputs, dataModule_.Values);
  CheckInputs();
}

void TAlfaForm::CheckInputs() {
  InputsValid = ::CheckInputs(CurrentDrainageInputs(dataModule_.Values));
}

void TAlfaForm::ClearResults() {
  B = 0;
  F = 0;
  Edit7->clear();
  Edit8->clear();
}

void TAlfaForm::Button1Click() {
  namespace T = AlfaFormTexts;
  // The calculation uses what the fields show, each read and checked as
  // when it is left; a field that holds no number stops it.
  static const char* const kNames[kDrainFieldCount] = {"Ka", "Kb", "D", "U", "P", "L"};
  TDrainageInputs shown;
  std::string problems;
  auto add = [&problems](const std::string& problem) {
    if (!problems.empty()) problems += '\n';
    problems += problem;
  };
  for (int i = 0; i < kDrainFieldCount; ++i) {
    try {
      shown[static_cast<TDrainField>(i)] = StringToFloat(edits_[i]->text().toStdString());
    } catch (const TIOError& error) {
      add(std::string(kNames[i]) + ": " + error.what());
    }
  }
  if (!problems.empty()) {
    Message(problems);
    return;
  }
  for (int i = 0; i < kDrainFieldCount; ++i) {
    const auto field = static_cast<TDrainField>(i);
    const TFieldCheck check = CheckDrainageField(field, shown[field]);
    if (check.Accepted) continue;
    add(check.Message);
    edits_[i]->clear();
    shown[field] = check.Stored;
  }
  StoreDrainageInputs(shown, dataModule_.Values);
  if (!problems.empty()) {
    Message(problems);
    return;
  }
  CheckInputs();
  if (!InputsValid) {
    Message(AlfaTexts::kIncorrect);
    return;
  }
  const TTimeUnit unit = TimeUnit();
  const TAlfaResult result =
      InTimeUnit(CalculateAlpha(CurrentDrainageInputs(dataModule_.Values)), unit);
  // Inputs inside the bounds can still give no usable equivalent depth (a
  // wet perimeter wider than the spacing); such a B and F must not reach the
  // Input tab.
  if (!result.Valid) {
    Message(AlfaTexts::kIncorrect);
    return;
  }
  B = result.B;
  F = result.F;
  X = result.X;
  DepthFunction = result.DepthFunction;
  EquivDepth = result.EquivDepth;

  Edit7->setText(QString::fromStdString(FormatAlfaResult(B)));
  Edit8->setText(QString::fromStdString(FormatAlfaResult(F)));
  const QString porosity = QString::fromStdString(FormatPorosityText(dataModule_.Values.DrainP));
  if (inputTab_) inputTab_->SetDrainageFields(Edit7->text(), Edit8->text(), porosity);
  dataModule_.Porosity = dataModule_.Values.DrainP;
  dataModule_.Drainage = true;

  const std::string parFile = ChangeFileExt(dataModule_.FileName, ".par");
  const QString parFileName = QtFileName(parFile);
  if (!WriteDrainageParameters(parFile, dataModule_.Values)) {
    Message(T::ParNotWrittenText(parFileName).toStdString());
    return;
  }
  Message(T::DoneText(parFileName, unit).toStdString());
}
