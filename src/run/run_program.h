#ifndef QUILLMERE_RUN_PROGRAM_H
#define QUILLMERE_RUN_PROGRAM_H

#include "command_line/command_line.h"
#include "run/settings.h"

// Answers "help", or queries device 0, prints its name, validates the
// options, runs the measurements and the sustained copy when asked, and
// checks the figures against the limits given. Returns kRunOk, a rejected
// option's status (below 0) or kRunBelowMinimum; exits with status 1 when
// device 0 cannot be queried or is in prohibited compute mode.
int runProgram(const CommandLine &line);

#endif
