// The Input tab's grid checked and tidied as a whole: every cell that
// Save/Run could not save, named at once before any dialog; trailing rows
// without values dropped when the count is lowered; the times of rows added
// by a higher count; the grid from its first row after a new data set.
#include <QStringList>
#include <optional>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "UInputTab.h"
#include "URainForm.h"

namespace T = RainFormTexts;

namespace {
constexpr int kMostCellsNamed = 20;
const char* const kColumnNames[] = {"Time", "Rain", "Max. escape rate", "Runoff"};

QString Quoted(const QString& cell) {
  return cell.isEmpty() ? QStringLiteral("empty") : '"' + cell + '"';
}

// A cell's value, read with the separator of typed numbers (which the reading
// may change; it is put back).
std::optional<double> CellValue(const QString& text) {
  const char separator = CurrentDecimalSeparator;
  const auto value = TryStringToFloat(text.toStdString());
  CurrentDecimalSeparator = separator;
  return value;
}
}  // namespace

std::string TInputTab::GridCellProblems() const {
  const bool analysis = AnalysisChosen();
  // Cells that are no number, and values the check of the records refuses.
  QStringList unreadable, refused;
  const auto cell = [this](int row, int column) {
    return QStringLiteral("row %1, column %2 \"%3\": %4")
        .arg(row + 1)
        .arg(column + 1)
        .arg(QString::fromUtf8(kColumnNames[column]), Quoted(StringGrid1->Cells(column, row)));
  };
  std::optional<double> previousTime;
  int previousRow = -1;
  for (int r = 0; r < StringGrid1->RowCount(); ++r) {
    const QString rain = StringGrid1->Cells(1, r);
    const QString escape = StringGrid1->Cells(2, r);
    // Rows that Save/Run leaves out are not checked.
    const bool complete = analysis ? !rain.isEmpty() && !escape.isEmpty() : !rain.isEmpty();
    if (StringGrid1->Cells(0, r).isEmpty() || !complete) continue;
    bool readable = true;
    for (int c = 0; c < (analysis ? 4 : 3); ++c) {
      const auto value = CellValue(StringGrid1->Cells(c, r));
      if (!value) {
        unreadable.append(cell(r, c));
        readable = false;
      } else if ((c == 1 || c == 3) && *value < 0) {
        refused.append(cell(r, c) + " is negative");
      }
    }
    const auto time = CellValue(StringGrid1->Cells(0, r));
    if (time && previousTime && !(*time > *previousTime)) {
      refused.append(cell(r, 0) + QStringLiteral(" does not increase (row %1: %2)")
                                      .arg(previousRow + 1)
                                      .arg(Quoted(StringGrid1->Cells(0, previousRow))));
    }
    if (time && readable) {
      previousTime = time;
      previousRow = r;
    }
  }
  const auto listed = [](const char* heading, const QStringList& cells) {
    QStringList shown = cells.mid(0, kMostCellsNamed);
    if (cells.size() > kMostCellsNamed) {
      shown.append(QStringLiteral("… and %1 more").arg(cells.size() - kMostCellsNamed));
    }
    return QString::fromUtf8(heading) + " (" + shown.join("; ") + ")";
  };
  QStringList lines;
  if (!unreadable.isEmpty()) lines.append(listed(T::kNotAllReal, unreadable));
  if (!refused.isEmpty()) lines.append(listed(T::kInputErrors, refused));
  return lines.join("\n").toStdString();
}

int TInputTab::RowsWithoutTrailingBlanks(int rows, int least) const {
  const auto blank = [this](int r) {
    for (int c = 1; c < 4; ++c) {
      const QString text = StringGrid1->Cells(c, r).trimmed();
      if (text.isEmpty()) continue;
      const auto value = CellValue(text);
      if (!value || *value != 0) return false;
    }
    return true;
  };
  while (rows > least && blank(rows - 1)) --rows;
  return rows;
}

std::optional<double> TInputTab::LastTimeStep(int rows) const {
  if (rows < 2) return std::nullopt;
  const auto last = CellValue(StringGrid1->Cells(0, rows - 1));
  const auto before = CellValue(StringGrid1->Cells(0, rows - 2));
  if (!last || !before || !(*last > *before)) return std::nullopt;
  return *last - *before;
}

void TInputTab::ShowGridFromTop() {
  StringGrid1->clearSelection();
  StringGrid1->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
  StringGrid1->scrollToTop();
}
