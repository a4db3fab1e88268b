// The data grid of the Input tab and its in-place editor.
#include "UStringGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr int kRowHeight = 20;
constexpr int kColumnWidth = 64;
}  // namespace

// ---------------------------------------------------------------------------
// In-place editor

void TGridCellEditor::PasteClipboard() {
  const QString clip = QApplication::clipboard()->text();
  if (!clip.contains('\t') && !clip.contains('\r') && !clip.contains('\n')) {
    paste();
    return;
  }
  // The cell's text as it would be after the paste; the window spreads it
  // over the grid.
  QString text = this->text();
  int start = cursorPosition();
  if (hasSelectedText()) {
    start = selectionStart();
    text.remove(start, selectedText().size());
  }
  text.insert(start, clip);
  emit MultiCellPaste(text);
}

void TGridCellEditor::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteClipboard();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TGridCellEditor::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  if (QAction* paste = menu->findChild<QAction*>("edit-paste")) {
    paste->disconnect();
    connect(paste, &QAction::triggered, this, &TGridCellEditor::PasteClipboard);
  }
  menu->exec(event->globalPos());
  delete menu;
}

// ---------------------------------------------------------------------------
// Delegate: the grid's own editor, and the edited text goes to the window

QWidget* TGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const {
  auto* editor = new TGridCellEditor(parent);
  editor->setFrame(false);
  const int column = index.column();
  const int row = index.row();
  TStringGrid* grid = grid_;
  connect(editor, &TGridCellEditor::MultiCellPaste, grid,
          [grid, editor, column, row](const QString& text) {
            // Close the editor first: the paste changes the rows under it.
            emit grid->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
            QMetaObject::invokeMethod(
                grid, [grid, column, row, text] { emit grid->EditTextSet(column, row, text); },
                Qt::QueuedConnection);
          });
  return editor;
}

void TGridDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                 const QModelIndex& index) const {
  auto* lineEdit = static_cast<QLineEdit*>(editor);
  const QString text = lineEdit->text();
  const int column = index.column();
  const int row = index.row();
  if (text == grid_->Cells(column, row)) return;
  grid_->SetCells(column, row, text);
  // The window's checks may show messages and change the rows: they run once
  // the editor has been closed.
  TStringGrid* grid = grid_;
  QMetaObject::invokeMethod(
      grid, [grid, column, row, text] { emit grid->EditTextSet(column, row, text); },
      Qt::QueuedConnection);
}

bool TGridDelegate::eventFilter(QObject* editor, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab && (key->modifiers() & Qt::ControlModifier) != 0) {
      auto* widget = static_cast<QWidget*>(editor);
      const bool next = key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier) == 0;
      emit commitData(widget);
      emit closeEditor(widget, QAbstractItemDelegate::NoHint);
      grid_->LeaveGrid(next);
      return true;
    }
  }
  return QStyledItemDelegate::eventFilter(editor, event);
}

// ---------------------------------------------------------------------------
// Grid

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setDefaultSectionSize(kColumnWidth);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  verticalHeader()->setMinimumSectionSize(kRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(true);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setItemDelegate(new TGridDelegate(this));
  setContextMenuPolicy(Qt::CustomContextMenu);
  setWordWrap(false);
}

QString TStringGrid::Cells(int column, int row) const {
  if (row < 0 || column < 0 || row >= static_cast<int>(cells_.size())) return {};
  const auto& cells = cells_[row];
  return column < static_cast<int>(cells.size()) ? cells[column] : QString();
}

void TStringGrid::SetCells(int column, int row, const QString& text) {
  if (row < 0 || column < 0) return;
  if (row >= static_cast<int>(cells_.size())) cells_.resize(row + 1);
  auto& cells = cells_[row];
  if (column >= static_cast<int>(cells.size())) cells.resize(column + 1);
  cells[column] = text;
  if (row < rowCount() && column < columnCount()) ShowCell(column, row);
}

void TStringGrid::ShowCell(int column, int row) {
  const QString text = Cells(column, row);
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem(text);
    setItem(row, column, cell);
  } else if (cell->text() != text) {
    cell->setText(text);
  }
}

void TStringGrid::SetRowCount(int rows) {
  rows = std::max(rows, 0);
  const int before = rowCount();
  if (rows == before) return;
  setRowCount(rows);
  for (int row = before; row < rows; ++row) {
    setRowHeight(row, kRowHeight);
    for (int column = 0; column < columnCount(); ++column) ShowCell(column, row);
  }
}

void TStringGrid::SetColCount(int columns) {
  columns = std::max(columns, 0);
  const int before = columnCount();
  if (columns == before) return;
  setColumnCount(columns);
  for (int column = before; column < columns; ++column) {
    setColumnWidth(column, kColumnWidth);
    for (int row = 0; row < rowCount(); ++row) ShowCell(column, row);
  }
}

void TStringGrid::ForgetRowsFrom(int rows) {
  if (rows < static_cast<int>(cells_.size())) cells_.resize(std::max(rows, 0));
  for (int row = rows; row < rowCount(); ++row) {
    for (int column = 0; column < columnCount(); ++column) ShowCell(column, row);
  }
}

bool TStringGrid::AtEdge(bool next) const {
  const QModelIndex current = currentIndex();
  if (!current.isValid() || rowCount() == 0 || columnCount() == 0) return true;
  if (next) return current.row() == rowCount() - 1 && current.column() == columnCount() - 1;
  return current.row() == 0 && current.column() == 0;
}

void TStringGrid::LeaveGrid(bool next) {
  // The window's own focus order, not the grid's move to another cell.
  QWidget::focusNextPrevChild(next);
}

bool TStringGrid::focusNextPrevChild(bool next) {
  if (tabKeyNavigation() && AtEdge(next)) return QWidget::focusNextPrevChild(next);
  return QTableWidget::focusNextPrevChild(next);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
  const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
  if (tab && (event->modifiers() & Qt::ControlModifier) != 0) {
    LeaveGrid(event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier) == 0);
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void TStringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool next = hint == QAbstractItemDelegate::EditNextItem;
  if ((next || hint == QAbstractItemDelegate::EditPreviousItem) && AtEdge(next)) {
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    LeaveGrid(next);
    return;
  }
  QTableWidget::closeEditor(editor, hint);
}

int TStringGrid::CurrentColumn() const {
  return std::max(currentColumn(), 0);
}

int TStringGrid::CurrentRow() const {
  return std::max(currentRow(), 0);
}
