// The main window on a desktop: it grows and shrinks, its texts read whole,
// the keyboard reaches every control, and its companions open in sight.
#include <QAbstractButton>
#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "UCommentForm.h"
#include "UFinishForm.h"
#include "UHelpForm.h"
#include "UIntroPages.h"
#include "UWindowLayout.h"
#include "ui_RainFormSupport.h"

namespace {

using std::vector;

class WindowLayout : public RainFormTest {
 protected:
  int VisibleRows() const {
    TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
    return grid->viewport()->height() / grid->rowHeight(0);
  }
  QScrollArea* Area(QWidget* page) const { return page->findChild<QScrollArea*>(); }
  // The controls of a tab that the user sees or reaches by scrolling.
  vector<QWidget*> Controls(QWidget* page) const {
    vector<QWidget*> controls;
    for (QWidget* w : Area(page)->widget()->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QComboBox*>(w) || qobject_cast<QLabel*>(w) ||
                           qobject_cast<QAbstractScrollArea*>(w);
      if (control && w->isVisible() && qobject_cast<QLineEdit*>(w->parentWidget()) == nullptr &&
          !qobject_cast<QAbstractScrollArea*>(w->parentWidget()->parentWidget())) {
        controls.push_back(w);
      }
    }
    return controls;
  }
};

TEST_F(WindowLayout, StartsAtItsDesignedPlaceAndSize) {
  const QRect available = form->screen()->availableGeometry();
  if (available.width() < 676 || available.height() < 40 + 623 + 40) {
    // A small screen (or a large scale factor): the window stays on it.
    EXPECT_TRUE(available.contains(form->geometry()));
    return;
  }
  EXPECT_EQ(form->geometry(), QRect(100, 40, 675, 623));
  // The tabs need no scroll bar at the starting size.
  for (QWidget* page : {form->InputTabSheet, form->OutputTabSheet, form->GraphicsTabSheet}) {
    ShowTab(page);
    EXPECT_FALSE(Area(page)->verticalScrollBar()->isVisible()) << page->objectName().toStdString();
    EXPECT_FALSE(Area(page)->horizontalScrollBar()->isVisible());
  }
}

TEST_F(WindowLayout, LargerWindowGivesGridResultsAndGraphTheRoom) {
  OpenInput(CopyExample("hupsel_h_winter1112_1500.inp"));
  ShowTab(form->InputTabSheet);
  const int rows = VisibleRows();
  const QPoint saveButton = Widget<QPushButton>(*form, "InputSaveButton")->pos();
  ShowTab(form->OutputTabSheet);
  const QSize memo = Widget<QPlainTextEdit>(*form, "OutputMemo")->size();
  ShowTab(form->GraphicsTabSheet);
  const QSize graph = Widget<QLabel>(*form, "GraphImage")->size();

  form->resize(1600, 1200);
  ShowTab(form->InputTabSheet);
  // 577 pixels more of height hold 28 rows more.
  EXPECT_GE(VisibleRows(), rows + 28);
  EXPECT_EQ(Widget<QPushButton>(*form, "InputSaveButton")->pos(), saveButton);
  EXPECT_GE(Widget<QLineEdit>(*form, "Title1Edit")->width(), 1400);
  ShowTab(form->OutputTabSheet);
  EXPECT_GE(Widget<QPlainTextEdit>(*form, "OutputMemo")->width(), memo.width() + 900);
  EXPECT_GE(Widget<QPlainTextEdit>(*form, "OutputMemo")->height(), memo.height() + 550);
  ShowTab(form->GraphicsTabSheet);
  EXPECT_GE(Widget<QLabel>(*form, "GraphImage")->height(), graph.height() + 550);

  // A layout switch in the large window keeps the grid tall.
  ShowTab(form->InputTabSheet);
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->geometry().topLeft(), QPoint(72, 198));
  EXPECT_GE(VisibleRows(), rows + 28);
}

TEST_F(WindowLayout, SmallWindowScrollsToEveryControl) {
  form->resize(500, 400);
  for (QWidget* page : {form->IntroTabSheet, form->FigureTabSheet, form->InputTabSheet,
                        form->OutputTabSheet, form->GraphicsTabSheet}) {
    SCOPED_TRACE(page->objectName().toStdString());
    ShowTab(page);
    QScrollArea* area = Area(page);
    ASSERT_NE(area, nullptr);
    const QSize view = area->viewport()->size();
    const int reachRight = view.width() + area->horizontalScrollBar()->maximum();
    const int reachBottom = view.height() + area->verticalScrollBar()->maximum();
    const vector<QWidget*> controls = Controls(page);
    ASSERT_FALSE(controls.empty());
    for (QWidget* control : controls) {
      const QRect r(control->mapTo(area->widget(), QPoint(0, 0)), control->size());
      EXPECT_LE(r.right() + 1, reachRight) << control->objectName().toStdString();
      EXPECT_LE(r.bottom() + 1, reachBottom) << control->objectName().toStdString();
    }
    // The Input tab needs both scroll bars at this size.
    if (page == form->InputTabSheet) {
      EXPECT_TRUE(area->verticalScrollBar()->isVisible());
      EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
    }
  }
}

TEST_F(WindowLayout, StatusTextsReadWhole) {
  TStatusBar* bar = form->StatusBar1;
  const QFontMetrics metrics(bar->font());
  auto fits = [&](TStatusBar* status) {
    const QRect area = status->TextRect(status->width());
    const QRect needed = metrics.boundingRect(QRect(0, 0, area.width(), 100000), Qt::TextWordWrap,
                                              status->currentMessage());
    return needed.width() <= area.width() && needed.height() <= status->height();
  };
  for (QWidget* page :
       {form->IntroTabSheet, form->InputTabSheet, form->OutputTabSheet, form->GraphicsTabSheet}) {
    ShowTab(page);
    EXPECT_TRUE(fits(bar)) << bar->currentMessage().toStdString();
  }
  // The longest one needs more than one line at this width.
  EXPECT_GT(metrics.horizontalAdvance(bar->currentMessage()), bar->TextRect(bar->width()).width());

  TFinishForm finish;
  finish.Terminate = [] {};
  finish.show();
  Settle();
  EXPECT_TRUE(fits(finish.StatusBar1));
}

TEST_F(WindowLayout, TextsOfTheTabsReadWhole) {
  auto check = [&](QWidget* page) {
    for (QWidget* w : Controls(page)) {
      const std::string name = w->objectName().toStdString();
      if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->pixmap().isNull()) {
        if (label->wordWrap()) {
          EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
        } else {
          EXPECT_LE(label->sizeHint().width(), label->width()) << name;
        }
      } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        EXPECT_LE(button->sizeHint().width(), button->width()) << name;
      } else if (auto* note = qobject_cast<QPlainTextEdit*>(w);
                 note != nullptr && note->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
        EXPECT_EQ(note->verticalScrollBar()->maximum(), 0) << name;
      }
    }
  };
  for (QWidget* page : {form->IntroTabSheet, form->FigureTabSheet, form->InputTabSheet}) {
    ShowTab(page);
    check(page);
  }
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  check(form->InputTabSheet);
  // The count's label keeps apart from its field.
  EXPECT_LT(Widget<QLabel>(*form, "NrOfDataLabel")->geometry().right(),
            Widget<QLineEdit>(*form, "NrOfDataEdit")->x() - 2);
  ShowTab(form->OutputTabSheet);
  check(form->OutputTabSheet);
  ShowTab(form->GraphicsTabSheet);
  Widget<QWidget>(*form, "Panel1")->show();
  Widget<QWidget>(*form, "Panel3")->show();
  check(form->GraphicsTabSheet);
}

TEST_F(WindowLayout, MessageBoxesShowTheirCaptionWhole) {
  QMessageBox box(QMessageBox::NoIcon, RainFormTexts::kApplicationTitle, "No output file selected",
                  QMessageBox::Ok);
  const int title = box.fontMetrics().horizontalAdvance(box.windowTitle());
  ASSERT_LT(box.sizeHint().width(), title + 100);
  WidenForCaption(box);
  EXPECT_GE(box.sizeHint().width(), title + 100);
}

TEST_F(WindowLayout, CompanionsOpenOnTheWindowInsideTheScreen) {
  THelpForm help;
  TCommentForm comment;
  TFinishForm finish;
  finish.Terminate = [] {};
  QWidget huge(nullptr, Qt::Window);
  huge.resize(3000, 2500);
  form->SetCompanions(&finish, &help, &comment, &huge);
  const QRect available = form->screen()->availableGeometry();

  struct Case {
    QPoint mainAt;
    std::function<void()> open;
    QWidget* window;
  };
  const Case cases[] = {
      {{100, 40}, [&] { form->HelpButtonClick(); }, &help},
      {available.bottomRight() - QPoint(200, 150), [&] { form->HelpButtonClick(); }, &help},
      {{0, 0}, [&] { form->CommentButtonClick(); }, &comment},
      {{150, 60}, [&] { form->close(); }, &finish},
      {{100, 40}, [&] { form->AlfaButtonClick(); }, &huge},
  };
  for (const Case& c : cases) {
    c.window->hide();
    form->move(c.mainAt);
    c.open();
    Settle();
    SCOPED_TRACE(c.window->objectName().toStdString() + " main at " + std::to_string(c.mainAt.x()) +
                 "," + std::to_string(c.mainAt.y()));
    EXPECT_TRUE(c.window->isVisible());
    EXPECT_TRUE(available.contains(c.window->frameGeometry()));
    const QRect inside = form->frameGeometry().intersected(available);
    if (c.window->width() < inside.width() && c.window->height() < inside.height()) {
      EXPECT_LE(
          (c.window->frameGeometry().center() - form->frameGeometry().center()).manhattanLength(),
          2);
    }
  }
}

TEST_F(WindowLayout, TabLeavesTheGridAtItsEnds) {
  ShowTab(form->InputTabSheet);
  TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
  auto at = [&](int row, int column) {
    grid->setFocus(Qt::OtherFocusReason);
    grid->setCurrentCell(row, column);
  };
  struct Case {
    int row, column;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QWidget* focus;  // null: stays in the grid
  };
  const Case cases[] = {
      {14, 3, Qt::Key_Tab, Qt::NoModifier, Widget<QLineEdit>(*form, "MaxStorEdit")},
      {0, 0, Qt::Key_Backtab, Qt::ShiftModifier, Widget<QPushButton>(*form, "InputSaveButton")},
      {5, 1, Qt::Key_Tab, Qt::ControlModifier, Widget<QLineEdit>(*form, "MaxStorEdit")},
      {5, 1, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier,
       Widget<QPushButton>(*form, "InputSaveButton")},
      {5, 3, Qt::Key_Tab, Qt::NoModifier, nullptr},
      {14, 3, Qt::Key_Backtab, Qt::ShiftModifier, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
    at(c.row, c.column);
    QTest::keyClick(grid, c.key, c.modifiers);
    Settle();
    if (c.focus != nullptr) {
      EXPECT_EQ(QApplication::focusWidget(), c.focus);
    } else {
      EXPECT_EQ(QApplication::focusWidget(), grid);
      EXPECT_NE(grid->currentIndex(), grid->model()->index(c.row, c.column));
    }
  }

  // From the cell editor: the typed text is kept.
  for (const Qt::KeyboardModifiers modifiers :
       {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
    const int row = modifiers == Qt::NoModifier ? 14 : 3;
    at(row, 3);
    grid->editItem(grid->item(row, 3));
    auto* editor = qobject_cast<TGridCellEditor*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "42");
    QTest::keyClick(editor, Qt::Key_Tab, modifiers);
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), Widget<QLineEdit>(*form, "MaxStorEdit"));
    EXPECT_EQ(Cell(3, row), "42");
  }

  // In the prediction layout Tab goes on to the prediction fields and the
  // calculator button.
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  at(14, 2);
  vector<QWidget*> reached;
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached.push_back(QApplication::focusWidget());
  }
  for (QWidget* field : {static_cast<QWidget*>(Widget<QLineEdit>(*form, "InitRunEdit")),
                         static_cast<QWidget*>(Widget<QLineEdit>(*form, "PorosityEdit")),
                         static_cast<QWidget*>(Widget<QLineEdit>(*form, "B1valueEdit")),
                         static_cast<QWidget*>(Widget<QPushButton>(*form, "AlfaButton"))}) {
    EXPECT_NE(std::find(reached.begin(), reached.end(), field), reached.end())
        << field->objectName().toStdString();
  }
}

TEST_F(WindowLayout, EveryButtonHasItsOwnMnemonic) {
  const QKeySequence menus[] = {QKeySequence::mnemonic(form->FileMenu->title()),
                                QKeySequence::mnemonic(form->EditMenu->title())};
  ASSERT_FALSE(menus[0].isEmpty());
  form->GraphicsTabSheet->findChild<QWidget*>("Panel1")->show();
  for (QWidget* page :
       {form->IntroTabSheet, form->InputTabSheet, form->OutputTabSheet, form->GraphicsTabSheet}) {
    ShowTab(page);
    if (page == form->InputTabSheet) Widget<QPushButton>(*form, "AlfaButton")->show();
    if (page == form->OutputTabSheet) Widget<QPushButton>(*form, "ViewGraphButton")->show();
    vector<QKeySequence> seen(std::begin(menus), std::end(menus));
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
      if (!button->isVisible()) continue;
      const QKeySequence key = QKeySequence::mnemonic(button->text());
      EXPECT_FALSE(key.isEmpty()) << button->text().toStdString();
      EXPECT_EQ(std::count(seen.begin(), seen.end(), key), 0) << button->text().toStdString();
      seen.push_back(key);
    }
    EXPECT_GE(seen.size(), 4u);
  }

  // Alt+H on the Input tab opens the help.
  THelpForm help;
  form->SetCompanions(nullptr, &help, nullptr, nullptr);
  ShowTab(form->InputTabSheet);
  Widget<QLineEdit>(*form, "Title1Edit")->setFocus();
  QTest::keyClick(Widget<QLineEdit>(*form, "Title1Edit"), Qt::Key_H, Qt::AltModifier);
  // The button clicks itself a moment later.
  for (int i = 0; i < 50 && !help.isVisible(); ++i) QTest::qWait(10);
  EXPECT_TRUE(help.isVisible());
}

TEST(WindowLayoutHelpers, MnemonicOnTheFirstLetter) {
  EXPECT_EQ(WithMnemonic(" Save / Run", 's'), " &Save / Run");
  EXPECT_EQ(WithMnemonic("Start help, units", 'h'), "Start &help, units");
  EXPECT_EQ(WithMnemonic("Open &Output", 'p'), "Open &Output");
  EXPECT_EQ(WithMnemonic("Go", 'x'), "Go");
}

}  // namespace
