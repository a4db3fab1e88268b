#include "UWindowLayout.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <algorithm>

// ---------------------------------------------------------------------------
// Anchor panel

TAnchorPanel::TAnchorPanel(QSize designSize, QWidget* parent)
    : QWidget(parent), designSize_(designSize) {
  setMinimumSize(designSize);
  resize(designSize);
}

void TAnchorPanel::Anchor(QWidget* widget, int anchors) {
  const QRect g = widget->geometry();
  TAnchor anchor;
  anchor.Anchors = anchors;
  anchor.RightMargin = designSize_.width() - (g.x() + g.width());
  anchor.BottomMargin = designSize_.height() - (g.y() + g.height());
  anchor.DesignSize = g.size();
  anchors_.insert(widget, anchor);
  widget->installEventFilter(this);
  Apply(widget);
}

void TAnchorPanel::SetRightMargin(QWidget* widget, int margin) {
  const auto found = anchors_.find(widget);
  if (found == anchors_.end()) return;
  found->RightMargin = margin;
  found->DesignSize.setWidth(designSize_.width() - margin - widget->x());
  Apply(widget);
}

bool TAnchorPanel::Apply(QWidget* widget) {
  const auto found = anchors_.constFind(widget);
  if (found == anchors_.constEnd()) return false;
  const TAnchor& a = *found;
  const QSize room = size().expandedTo(designSize_);
  QRect g = widget->geometry();
  if ((a.Anchors & AnchorRight) != 0) {
    if ((a.Anchors & AnchorLeft) != 0) {
      g.setWidth(std::max(a.DesignSize.width(), room.width() - a.RightMargin - g.x()));
    } else {
      g.moveLeft(room.width() - a.RightMargin - g.width());
    }
  }
  if ((a.Anchors & AnchorBottom) != 0) {
    if ((a.Anchors & AnchorTop) != 0) {
      g.setHeight(std::max(a.DesignSize.height(), room.height() - a.BottomMargin - g.y()));
    } else {
      g.moveTop(room.height() - a.BottomMargin - g.height());
    }
  }
  if (g == widget->geometry()) return false;
  applying_ = true;
  widget->setGeometry(g);
  applying_ = false;
  return true;
}

void TAnchorPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (auto it = anchors_.constBegin(); it != anchors_.constEnd(); ++it) Apply(it.key());
}

bool TAnchorPanel::eventFilter(QObject* watched, QEvent* event) {
  if (!applying_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
    auto* widget = static_cast<QWidget*>(watched);
    // Geometry set by the program in designed pixels: the anchors put the
    // stretched edges back. A resize event that is out of date by then is
    // dropped; the widget has had the fresh one.
    if (Apply(widget) && event->type() == QEvent::Resize) return true;
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Scrolling pages

QScrollArea* PutInScrollArea(QWidget* page, QWidget* content) {
  auto* area = new QScrollArea(page);
  area->setObjectName(page->objectName() + "Scroll");
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  // Only the controls take the focus; the area scrolls to the focused one.
  area->setFocusPolicy(Qt::NoFocus);
  area->setWidget(content);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(area);
  return area;
}

TAnchorPanel* MoveIntoAnchorPanel(QWidget* page, QSize designSize) {
  auto* panel = new TAnchorPanel(designSize);
  panel->setObjectName(page->objectName() + "Panel");
  const auto children = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    const bool hidden = child->testAttribute(Qt::WA_WState_Hidden) &&
                        child->testAttribute(Qt::WA_WState_ExplicitShowHide);
    const QRect geometry = child->geometry();
    child->setParent(panel);
    child->setGeometry(geometry);
    child->setVisible(!hidden);
  }
  PutInScrollArea(page, panel);
  return panel;
}

// ---------------------------------------------------------------------------
// Mnemonics

QString WithMnemonic(const QString& caption, QChar letter) {
  if (caption.contains('&')) return caption;
  const int at = caption.indexOf(letter, 0, Qt::CaseInsensitive);
  if (at < 0) return caption;
  QString text = caption;
  text.insert(at, '&');
  return text;
}

// ---------------------------------------------------------------------------
// Placing windows

void CentreOnOwner(QWidget* window, const QWidget* owner) {
  QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect ownerFrame = owner != nullptr ? owner->frameGeometry() : available;
  // The window manager's frame is not known before a window is first shown:
  // it is taken to be the owner's.
  QSize frameExtra = window->frameGeometry().size() - window->geometry().size();
  if (!window->testAttribute(Qt::WA_WState_Created) && owner != nullptr) {
    frameExtra = owner->frameGeometry().size() - owner->geometry().size();
  }
  const QSize room = (available.size() - frameExtra).expandedTo(window->minimumSize());
  window->resize(window->size().boundedTo(room));
  QRect frame(QPoint(0, 0), window->size() + frameExtra);
  frame.moveCenter(ownerFrame.center());
  frame.moveLeft(std::clamp(frame.left(), available.left(),
                            std::max(available.left(), available.right() + 1 - frame.width())));
  frame.moveTop(std::clamp(frame.top(), available.top(),
                           std::max(available.top(), available.bottom() + 1 - frame.height())));
  window->move(frame.topLeft());
}

void WidenForCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  // The title bar's font is the window manager's; a bold face a little
  // larger than the application's, and room for the icon and the buttons of
  // the title bar.
  QFont titleFont = box.font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
  const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 140;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}
