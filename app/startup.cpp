#include "app/startup.h"

#include <QApplication>

#include "app/main_window.h"

namespace tandrel::app {

int RunTandrel(QApplication& application)
{
    MainWindow window;
    window.show();
    return application.exec();
}

} // namespace tandrel::app
