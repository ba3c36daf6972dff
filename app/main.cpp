// tandrel: the studio window.

#include <QApplication>

#include <cstring>

#include "app/startup.h"
#include "app/transcription/transcription_command.h"

int main(int argc, char** argv)
{
    const long long started = tandrel::app::SteadyNowMs();
    // A transcription action for the running copy, as a desktop shortcut sends it: no window.
    if (argc >= 2 && std::strcmp(argv[1], "--transcription") == 0)
        return tandrel::app::RunTranscriptionCommand(argc - 2, argv + 2);
    QApplication application(argc, argv);
    return tandrel::app::RunTandrel(application, started);
}
