#include "UBaseForm.h"

#include <QStatusTipEvent>

TBaseForm::TBaseForm(QWidget* parent) : QMainWindow(parent), StatusBar1(new QStatusBar(this)) {
  StatusBar1->setObjectName("StatusBar1");
  setStatusBar(StatusBar1);
}

void TBaseForm::ShowStatus(const QString& text) {
  statusText_ = text;
  StatusBar1->showMessage(text);
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
