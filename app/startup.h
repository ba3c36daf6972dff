#pragma once

class QApplication;

namespace tandrel::app {

/** Brings the program up in its fixed order, runs the event loop and shuts down in
    reverse. Returns the exit code: 0 when another copy was activated instead or start-up
    stopped early, -1 when the main window could not be made. */
int RunTandrel(QApplication& application);

} // namespace tandrel::app
