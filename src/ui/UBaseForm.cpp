#include "UBaseForm.h"

#include <QLayout>
#include <QPainter>
#include <QSizeGrip>
#include <QStatusTipEvent>
#include <QStyleOption>

namespace {
constexpr int kTextMargin = 4;
constexpr int kGripRoom = 18;
}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
  QSizePolicy policy = sizePolicy();
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  connect(this, &QStatusBar::messageChanged, this, [this] {
    updateGeometry();
    update();
  });
}

QRect TStatusBar::TextRect(int width) const {
  const int right = isSizeGripEnabled() ? kGripRoom : kTextMargin;
  return QRect(kTextMargin, 0, std::max(width - kTextMargin - right, 1), 1);
}

int TStatusBar::heightForWidth(int width) const {
  const QRect area = TextRect(width);
  const QRect needed = fontMetrics().boundingRect(QRect(0, 0, area.width(), 100000),
                                                  Qt::TextWordWrap, currentMessage());
  return std::max(QStatusBar::sizeHint().height(), needed.height() + 6);
}

QSize TStatusBar::sizeHint() const {
  const QSize hint = QStatusBar::sizeHint();
  return {hint.width(), heightForWidth(width() > 0 ? width() : hint.width())};
}

QSize TStatusBar::minimumSizeHint() const {
  return {QStatusBar::minimumSizeHint().width(), sizeHint().height()};
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  // Another width may need another number of lines.
  if (heightForWidth(width()) != height()) updateGeometry();
}

void TStatusBar::paintEvent(QPaintEvent* event) {
  if (currentMessage().isEmpty()) {
    QStatusBar::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
  QRect area = TextRect(width());
  area.setTop(0);
  area.setHeight(height());
  painter.setPen(palette().windowText().color());
  painter.drawText(area, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextWordWrap, currentMessage());
}

TBaseForm::TBaseForm(QWidget* parent) : QMainWindow(parent), StatusBar1(new TStatusBar(this)) {
  StatusBar1->setObjectName("StatusBar1");
  setStatusBar(StatusBar1);
}

void TBaseForm::ShowStatus(const QString& text) {
  statusText_ = text;
  StatusBar1->showMessage(text);
  // A text of more lines makes the bar taller before it is painted.
  if (layout() != nullptr) layout()->activate();
  repaint();
}

bool TBaseForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    StatusBar1->showMessage(tip.isEmpty() ? statusText_ : tip);
    return true;
  }
  return QMainWindow::event(event);
}
