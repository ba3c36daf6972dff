// tandrel: the studio window.

#include <QApplication>

#include "app/startup.h"

int main(int argc, char** argv)
{
    const long long started = tandrel::app::SteadyNowMs();
    QApplication application(argc, argv);
    return tandrel::app::RunTandrel(application, started);
}
