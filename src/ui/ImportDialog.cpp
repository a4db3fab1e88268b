#include "ImportDialog.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "TextFile.h"
#include "UFormHelpers.h"

namespace T = ImportDialogTexts;

namespace {

const char* const kRoles[] = {"",     "time",  "rain", "escape", "runoff",
                              "year", "month", "day",  "hour"};
const char* const kUnits[] = {"",     "mm",  "0.1 mm", "cm",  "in",  "mm/h",
                              "mm/d", "l/s", "m3/s",   "cfs", "ML/d"};

bool IsDepthRole(const QString& role) {
  return role == "rain" || role == "escape" || role == "runoff";
}

}  // namespace

TImportDialog::TImportDialog(const std::string& path, bool analysis, QWidget* parent)
    : QDialog(parent), analysis_(analysis) {
  setObjectName("ImportDialog");
  setWindowTitle(QString::fromUtf8(T::kCaption) + " - " + QFileInfo(QtFileName(path)).fileName());
  resize(780, 600);
  if (const auto fault = LoadTableText(path, text_, truncated_)) loadFault_ = *fault;

  PreviewGrid = new QTableWidget(this);
  PreviewGrid->setObjectName("PreviewGrid");
  PreviewGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PreviewGrid->horizontalHeader()->setDefaultSectionSize(96);
  PreviewGrid->verticalHeader()->setDefaultSectionSize(22);

  DateOrderBox = new QComboBox(this);
  DateOrderBox->setObjectName("DateOrderBox");
  for (const char* order : T::kDateOrders) DateOrderBox->addItem(QString::fromUtf8(order));
  AreaLabel = new QLabel(QString::fromUtf8(T::kArea), this);
  AreaEdit = new QLineEdit(this);
  AreaEdit->setObjectName("ImportAreaEdit");
  EscapeLabel = new QLabel(QString::fromUtf8(T::kEscape), this);
  EscapeEdit = new QLineEdit(this);
  EscapeEdit->setObjectName("ImportEscapeEdit");
  WindowFromEdit = new QLineEdit(this);
  WindowFromEdit->setObjectName("WindowFromEdit");
  WindowToEdit = new QLineEdit(this);
  WindowToEdit->setObjectName("WindowToEdit");
  MissingEdit = new QLineEdit(this);
  MissingEdit->setObjectName("MissingEdit");
  FillGapsEdit = new QLineEdit(this);
  FillGapsEdit->setObjectName("FillGapsEdit");
  StepBox = new QComboBox(this);
  StepBox->setObjectName("StepBox");
  StepBox->setEditable(true);
  for (const char* step : {"", "day", "12", "6", "3"}) StepBox->addItem(step);
  ReportMemo = new QPlainTextEdit(this);
  ReportMemo->setObjectName("ReportMemo");
  ReportMemo->setReadOnly(true);
  ImportButton = new QPushButton(QString::fromUtf8(T::kImport), this);
  ImportButton->setObjectName("ImportButton");
  ImportButton->setDefault(true);
  CancelButton = new QPushButton(QString::fromUtf8(T::kCancel), this);
  CancelButton->setObjectName("CancelButton");

  auto* fields = new QFormLayout;
  fields->addRow(QString::fromUtf8(T::kDateOrder), DateOrderBox);
  fields->addRow(AreaLabel, AreaEdit);
  fields->addRow(EscapeLabel, EscapeEdit);
  auto* window = new QHBoxLayout;
  window->addWidget(WindowFromEdit);
  window->addWidget(WindowToEdit);
  fields->addRow(QString::fromUtf8(T::kWindow), window);
  auto* gaps = new QHBoxLayout;
  gaps->addWidget(MissingEdit);
  gaps->addWidget(new QLabel(QString::fromUtf8(T::kFillGaps), this));
  gaps->addWidget(FillGapsEdit);
  gaps->addWidget(new QLabel(QString::fromUtf8(T::kStep), this));
  gaps->addWidget(StepBox);
  fields->addRow(QString::fromUtf8(T::kMissing), gaps);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ImportButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PreviewGrid, 3);
  layout->addLayout(fields);
  layout->addWidget(ReportMemo, 2);
  layout->addLayout(buttons);

  connect(DateOrderBox, &QComboBox::currentIndexChanged, this, [this] { ReadAgain(); });
  connect(AreaEdit, &QLineEdit::textChanged, this, [this] { ReadAgain(); });
  connect(EscapeEdit, &QLineEdit::textChanged, this, [this] { UpdateImportButton(); });
  for (QLineEdit* edit : {WindowFromEdit, WindowToEdit, MissingEdit, FillGapsEdit}) {
    connect(edit, &QLineEdit::textChanged, this, [this] { ReadAgain(); });
  }
  connect(StepBox, &QComboBox::currentTextChanged, this, [this] { ReadAgain(); });
  connect(ImportButton, &QPushButton::clicked, this, [this] { Import(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  ReadAgain();
}

TTableOptions TImportDialog::Options() const {
  TTableOptions options;
  options.NeedRunoff = analysis_;
  options.Truncated = truncated_;
  options.DateOrder = static_cast<TTableOptions::TDateOrder>(DateOrderBox->currentIndex());
  const auto area = TryStringToFloat(AreaEdit->text().trimmed().toStdString());
  if (area && *area > 0) options.AreaKm2 = area;
  const QString from = WindowFromEdit->text().trimmed(), to = WindowToEdit->text().trimmed();
  if (!from.isEmpty() && !to.isEmpty()) {
    options.Window = std::make_pair(from.toStdString(), to.toStdString());
  }
  if (!MissingEdit->text().trimmed().isEmpty()) {
    options.Missing.push_back(MissingEdit->text().trimmed().toStdString());
  }
  bool whole = false;
  const int most = FillGapsEdit->text().trimmed().toInt(&whole);
  if (whole && most > 0) options.FillGaps = std::min(most, 1000);
  const QString step = StepBox->currentText().trimmed();
  const int hours = step == "day" ? 24 : step.toInt(&whole);
  if ((step == "day" || whole) && hours >= 2) options.StepHours = hours;
  // Only what the user changed: the rest the reader finds by the names.
  for (std::size_t c = 0; c < RoleBoxes.size(); ++c) {
    const QString role = RoleBoxes[c]->currentText();
    if (roleChanged_[c] && !role.isEmpty()) {
      options.Columns.emplace_back(role.toStdString(), std::to_string(c + 1));
    }
    if (unitChanged_[c] && IsDepthRole(role) && !UnitBoxes[c]->currentText().trimmed().isEmpty()) {
      options.Units.emplace_back(role.toStdString(),
                                 UnitBoxes[c]->currentText().trimmed().toStdString());
    }
  }
  return options;
}

void TImportDialog::ReadAgain() {
  if (!loadFault_.empty()) {
    result_ = TTableReadResult{std::nullopt, loadFault_};
  } else {
    const TTableOptions options = Options();
    ShowPreview(PreviewTable(text_, options));
    result_ = ReadTable(text_, options);
  }
  QString report;
  if (result_.Records) {
    report = QString::fromUtf8(T::kReadSo);
    for (const auto& line : result_.Records->Report) report += QString::fromStdString(line) + "\n";
    if (result_.Records->Escape.empty()) report += QString::fromUtf8(T::kEscapeWanted);
  } else {
    report = QString::fromUtf8(T::kNotRead) + QString::fromStdString(result_.Message);
    if (result_.Message.find("--") != std::string::npos)
      report += QString::fromUtf8(T::kOptionsHere);
  }
  ReportMemo->setPlainText(report);
  // The fields a table does not need stay out of the way.
  const bool area = result_.Question == TTableReadResult::TQuestion::Area ||
                    !AreaEdit->text().trimmed().isEmpty();
  AreaLabel->setEnabled(area);
  AreaEdit->setEnabled(area);
  const bool escape = result_.Records && result_.Records->Escape.empty();
  EscapeLabel->setEnabled(escape);
  EscapeEdit->setEnabled(escape);
  UpdateImportButton();
}

void TImportDialog::ShowPreview(const TTablePreview& preview) {
  const int columns = static_cast<int>(preview.Header.size());
  if (columns != PreviewGrid->columnCount()) {
    // A new layout of columns: new choices.
    PreviewGrid->clear();
    PreviewGrid->setColumnCount(columns);
    RoleBoxes.clear();
    UnitBoxes.clear();
    roleChanged_.assign(columns, false);
    unitChanged_.assign(columns, false);
    for (int c = 0; c < columns; ++c) {
      auto* role = new QComboBox;
      role->setObjectName(QString("RoleBox%1").arg(c + 1));
      for (const char* name : kRoles) role->addItem(name);
      auto* unit = new QComboBox;
      unit->setObjectName(QString("UnitBox%1").arg(c + 1));
      unit->setEditable(true);
      for (const char* name : kUnits) unit->addItem(name);
      // Read again on the next turn: a new layout of columns replaces the
      // box whose signal this is.
      connect(role, &QComboBox::activated, this, [this, c] {
        roleChanged_[c] = true;
        QMetaObject::invokeMethod(
            this, [this] { ReadAgain(); }, Qt::QueuedConnection);
      });
      connect(unit, &QComboBox::currentTextChanged, this, [this, c] {
        unitChanged_[c] = true;
        QMetaObject::invokeMethod(
            this, [this] { ReadAgain(); }, Qt::QueuedConnection);
      });
      RoleBoxes.push_back(role);
      UnitBoxes.push_back(unit);
    }
  }
  QStringList headers;
  for (int c = 0; c < columns; ++c) {
    headers << (preview.Header[c].empty() ? QString("column %1").arg(c + 1)
                                          : QString::fromStdString(preview.Header[c]));
  }
  PreviewGrid->setHorizontalHeaderLabels(headers);
  const int rows = 2 + static_cast<int>(preview.Rows.size());
  PreviewGrid->setRowCount(rows);
  QStringList rowNames{QString::fromUtf8(T::kRoleRow), QString::fromUtf8(T::kUnitRow)};
  for (int r = 2; r < rows; ++r) rowNames << QString::number(r - 1);
  PreviewGrid->setVerticalHeaderLabels(rowNames);
  for (int c = 0; c < columns; ++c) {
    // The reader's choice where the user made none.
    QComboBox* role = RoleBoxes[c];
    if (!roleChanged_[c]) role->setCurrentText(QString::fromStdString(preview.Roles[c]));
    QComboBox* unit = UnitBoxes[c];
    if (!unitChanged_[c]) {
      unit->blockSignals(true);
      unit->setCurrentText(QString::fromStdString(preview.Units[c]));
      unit->blockSignals(false);
    }
    unit->setEnabled(IsDepthRole(role->currentText()));
    if (PreviewGrid->cellWidget(0, c) != role) PreviewGrid->setCellWidget(0, c, role);
    if (PreviewGrid->cellWidget(1, c) != unit) PreviewGrid->setCellWidget(1, c, unit);
    for (int r = 2; r < rows; ++r) {
      PreviewGrid->setItem(r, c,
                           new QTableWidgetItem(QString::fromStdString(preview.Rows[r - 2][c])));
    }
  }
}

void TImportDialog::UpdateImportButton() {
  bool ready = result_.Records.has_value();
  if (ready && result_.Records->Escape.empty()) {
    ready = TryStringToFloat(EscapeEdit->text().trimmed().toStdString()).has_value();
  }
  ImportButton->setEnabled(ready);
}

bool TImportDialog::Import() {
  UpdateImportButton();
  if (!ImportButton->isEnabled()) return false;
  const TTableRecords& records = *result_.Records;
  escapeTyped_ = records.Escape.empty();
  if (escapeTyped_) {
    escape_ = *TryStringToFloat(EscapeEdit->text().trimmed().toStdString());
  } else {
    // As the batch import: the largest escape rate of the table.
    escape_ = *std::max_element(records.Escape.begin(), records.Escape.end());
  }
  records_ = records;
  accept();
  return true;
}
