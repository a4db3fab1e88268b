#include "UBaseForm.h"

TBaseForm::TBaseForm(QWidget* parent) : QMainWindow(parent), StatusBar1(new QStatusBar(this)) {
  StatusBar1->setObjectName("StatusBar1");
  setStatusBar(StatusBar1);
}

void TBaseForm::ShowStatus(const QString& text) {
  StatusBar1->showMessage(text);
  repaint();
}
