#include "URainFormTab.h"

#include <QAction>

TRainFormTab::TRainFormTab(TRainFormHost& host, const char* name) : host_(host) {
  setObjectName(name);
}

void BindButton(QPushButton* button, QAction* action) {
  if (button->text().isEmpty()) button->setText(action->text());
  button->setEnabled(action->isEnabled());
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, button,
                   [button, action] { button->setEnabled(action->isEnabled()); });
}
