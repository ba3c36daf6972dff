#include "app/views.h"

#include "app/main_window.h"
#include "app/studio.h"

namespace tandrel::app {

void AttachViews(MainWindow&, Studio&)
{
    // The window keeps its placeholders until the waveform library is built in.
}

} // namespace tandrel::app
