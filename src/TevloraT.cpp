// Program entry of TevloraT.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tevlora rainfall runoff relations");
  QMainWindow window;
  window.setWindowTitle("TevloraT, rainfall runoff relations");
  window.show();
  return application.exec();
}
