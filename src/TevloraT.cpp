// Program entry of TevloraT: the application title, the six long-lived
// windows in their order, and the event loop.
#include <QApplication>
#include <QLocale>

#include "TextFile.h"
#include "UAlfaForm.h"
#include "UCommentForm.h"
#include "UFinishForm.h"
#include "UHelpForm.h"
#include "URainForm.h"
#include "USession.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(RainFormTexts::kApplicationTitle);
  // Typed numbers use the locale's decimal separator; files always a point.
  CurrentDecimalSeparator = QLocale().decimalPoint() == "," ? ',' : '.';

  // The one session of the window: the data module and the runs.
  TSession session;
  session.Data.DataModuleCreate();

  // The six windows, each living until the program ends, in this order.
  TRainForm rainForm(session);
  TFinishForm finishForm;
  session.Data.Dialogs = rainForm.Dialogs();
  THelpForm helpForm;
  TCommentForm commentForm;
  TAlfaForm alfaForm(session.Data, rainForm.Dialogs(), &rainForm);
  rainForm.SetCompanions(&finishForm, &helpForm, &commentForm, &alfaForm);

  rainForm.show();
  return application.exec();
}
