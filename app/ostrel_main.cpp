#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle("Ostrel Free Disk Space Finder");
  window.resize(674, 419);
  window.show();
  return app.exec();
}
