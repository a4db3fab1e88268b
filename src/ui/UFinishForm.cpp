#include "UFinishForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

#include "UWindowLayout.h"

namespace FinishTexts {
const char* const kFinishMemo =
    " Thank you for using TevloraT\n"
    "\n"
    " Questions, remarks and suggestions\n"
    " are welcome. Please contact the author\n"
    " at the address given with your copy\n"
    " of the program.";
}  // namespace FinishTexts

TFinishForm::TFinishForm(QWidget* parent)
    : TBaseForm(parent), Terminate([] { QCoreApplication::exit(0); }) {
  setObjectName("FinishForm");
  setWindowTitle(FinishTexts::kCaption);
  resize(270, 237);
  auto* central = new QWidget(this);
  FinishMemo = new QPlainTextEdit(QString::fromUtf8(FinishTexts::kFinishMemo), central);
  FinishMemo->setObjectName("FinishMemo");
  FinishMemo->setReadOnly(true);
  FinishButton = new QPushButton(WithMnemonic(FinishTexts::kButton, 'f'), central);
  FinishButton->setObjectName("FinishButton");
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(FinishMemo);
  layout->addWidget(FinishButton, 0, Qt::AlignHCenter);
  setCentralWidget(central);
  connect(FinishButton, &QPushButton::clicked, this, &TFinishForm::FinishButtonClick);
  // Return finishes, as the window's one button is its default.
  for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* finish = new QShortcut(QKeySequence(key), this);
    connect(finish, &QShortcut::activated, FinishButton, &QPushButton::click);
  }
}

void TFinishForm::ShowFinish() {
  show();
  raise();
  activateWindow();
}

void TFinishForm::FormShow() {
  ShowStatus(FinishTexts::kStatus);
}

void TFinishForm::showEvent(QShowEvent* event) {
  TBaseForm::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFinishForm::FinishButtonClick() {
  if (Terminate) Terminate();
}

void TFinishForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (Terminate) Terminate();
}
