#pragma once

class QApplication;

namespace tandrel::app {

/** Brings the program up in its fixed order, runs the event loop and shuts down in
    reverse. Returns the exit code: 0 when another copy was activated instead or start-up
    stopped early, -1 when the main window could not be made.

    With TANDREL_EXIT_WHEN_SHOWN set in the environment the program prints the
    milliseconds from `startedMs` (steady clock) to its shown window after the first pass,
    and leaves: the start-up benchmark runs it so. */
int RunTandrel(QApplication& application, long long startedMs = -1);

/** Milliseconds of the steady clock, as main() records its start. */
long long SteadyNowMs();

} // namespace tandrel::app
