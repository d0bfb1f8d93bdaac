#ifndef QUILLMERE_RUN_INTERRUPTION_H
#define QUILLMERE_RUN_INTERRUPTION_H

#include <csignal>

// The signal that asked the run to stop (SIGINT, SIGTERM or SIGHUP); 0
// while none has.
extern volatile sig_atomic_t stopSignal;

// Gives SIGINT, SIGTERM and SIGHUP a handler that asks the run to stop,
// each except one the tool was started with ignored (a background job,
// nohup). A further signal after the first ends the tool at once by its
// default action. Call once, just before the run's first reading.
void watchStopSignals();

// "SIGINT", "SIGTERM" or "SIGHUP".
const char *stopSignalName(int signal);

// After a stop signal: clears the progress line, writes out what the
// report has printed, then "Error: interrupted by <signal>" on standard
// error, and records it. Returns kRunInterrupted.
int reportInterruption();

// Registered first in main, so that it runs last as the process exits,
// after the report is written out: ends the process by the signal that
// stopped the run, its default action restored; nothing without one.
void raiseStopSignalAtExit();

#endif
