// Program entry of TevloraT: the application title, the six long-lived
// windows in their order, and the event loop.
#include <QApplication>
#include <QLocale>

#include "TextFile.h"
#include "UAlfaForm.h"
#include "UCommentForm.h"
#include "UDMTevlora.h"
#include "UFinishForm.h"
#include "UHelpForm.h"
#include "URainForm.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(RainFormTexts::kApplicationTitle);
  // Typed numbers use the locale's decimal separator; files always a point.
  CurrentDecimalSeparator = QLocale().decimalPoint() == "," ? ',' : '.';

  // The six windows, each living until the program ends, in this order.
  TRainForm rainForm;
  TFinishForm finishForm;
  TDMTevlora dataModule;
  dataModule.DataModuleCreate();
  dataModule.Dialogs = rainForm.Dialogs();
  DMTevlora = &dataModule;
  THelpForm helpForm;
  TCommentForm commentForm;
  TAlfaForm alfaForm(dataModule, rainForm.Dialogs(), &rainForm);
  rainForm.SetCompanions(&finishForm, &helpForm, &commentForm, &alfaForm);

  rainForm.show();
  return application.exec();
}
