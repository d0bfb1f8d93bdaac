#ifndef QUILLMERE_RUN_RUN_PROGRAM_H
#define QUILLMERE_RUN_RUN_PROGRAM_H

#include "command_line/command_line.h"

// Answers "help", or queries device 0, prints its name, validates the
// options, waits for an idle board when asked, runs the measurements and
// the phases asked for, and judges the figures against the limits given.
// Returns kRunOk; a rejected option's status (below 0); kRunBusy when the
// board stayed busy; kRunInterrupted after a stop signal; kRunDataDiffers
// after a read-back that differed; kRunTimerFault after a time no memory
// could give; kRunVerdictFailed when a limit was not met. Exits with status
// 1 when device 0 cannot be queried or is in prohibited compute mode, when
// a host buffer cannot be allocated, and at a failed runtime call.
int runProgram(const CommandLine &line);

#endif
