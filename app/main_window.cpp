#include "app/main_window.h"

#include <QLabel>

namespace tandrel::app {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle("Tandrel  2.1.14");
    setMinimumSize(838, 610);
    setCentralWidget(new QLabel(this));
}

MainWindow::~MainWindow() = default;

} // namespace tandrel::app
