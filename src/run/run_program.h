#ifndef QUILLMERE_RUN_PROGRAM_H
#define QUILLMERE_RUN_PROGRAM_H

#include "run/settings.h"

// Answers "help", or queries device 0, prints its name, validates "size" and
// "loops" and runs the measurements. Returns kRunOk, kRunBadSize or
// kRunBadLoops; exits with status 1 when device 0 cannot be queried or is in
// prohibited compute mode.
int runProgram(int argc, const char *const *argv);

#endif
