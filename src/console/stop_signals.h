#ifndef QUILLMERE_CONSOLE_STOP_SIGNALS_H
#define QUILLMERE_CONSOLE_STOP_SIGNALS_H

#include <csignal>

// The signal that asked the run to stop (SIGINT, SIGTERM or SIGHUP); 0
// while none has. The handler writes nothing else: the run's loops ask it.
extern volatile sig_atomic_t stopSignal;

// Gives SIGINT, SIGTERM and SIGHUP a handler that asks the run to stop,
// each except one the tool was started with ignored (a background job,
// nohup). A further signal after the first ends the tool at once by its
// default action. Call once, just before the run's first reading.
void watchStopSignals();

// "SIGINT", "SIGTERM" or "SIGHUP".
const char *stopSignalName(int signal);

// Registered first in main, so that it runs last as the process exits,
// after the report is written out: ends the process by the signal that
// stopped the run, its default action restored; nothing without one.
void raiseStopSignalAtExit();

#endif
