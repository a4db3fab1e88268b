// The data grid of the Input tab (a string grid that keeps the text of
// hidden cells), its in-place editor and the delegate that makes the editor.
#pragma once

#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <vector>

// The in-place editor of the data grid. A paste of spreadsheet text (tabs or
// line ends) is handed to the window as a whole instead of being squeezed
// into the one cell.
class TGridCellEditor : public QLineEdit {
  Q_OBJECT
 public:
  explicit TGridCellEditor(QWidget* parent) : QLineEdit(parent) {}
  // Pastes the clipboard as the user would with Ctrl+V.
  void PasteClipboard();

 signals:
  void MultiCellPaste(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

// The data grid: a string grid whose cells keep their text also in rows and
// columns beyond the current counts, so that lowering a count hides cells
// and raising it shows their earlier text again.
class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TStringGrid(QWidget* parent = nullptr);

  QString Cells(int column, int row) const;
  void SetCells(int column, int row, const QString& text);
  int RowCount() const { return rowCount(); }
  int ColCount() const { return columnCount(); }
  void SetRowCount(int rows);
  void SetColCount(int columns);
  // Forgets the text of every cell at or beyond `rows`.
  void ForgetRowsFrom(int rows);

  int CurrentColumn() const;
  int CurrentRow() const;

  // Moves the focus out of the grid, to the next or the previous control.
  void LeaveGrid(bool next);

 signals:
  // The user finished editing a cell, or pasted text into it (the text may
  // then hold tabs and line ends).
  void EditTextSet(int column, int row, const QString& text);

 protected:
  // Tab and Shift+Tab move from cell to cell and leave the grid after its
  // last and before its first cell; Ctrl+Tab leaves it from any cell.
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  bool AtEdge(bool next) const;
  void ShowCell(int column, int row);
  std::vector<std::vector<QString>> cells_;  // [row][column]
};

class TGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TGridDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 protected:
  // Ctrl+Tab in the cell editor keeps the text and leaves the grid.
  bool eventFilter(QObject* editor, QEvent* event) override;

 private:
  TStringGrid* grid_;
};
