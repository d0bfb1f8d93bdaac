#ifndef QUILLMERE_RUN_PROGRAM_H
#define QUILLMERE_RUN_PROGRAM_H

// Run status: a completed run or the usage text.
const int kRunOk = 0;
// Run status: the "size" option was rejected.
const int kRunBadSize = -4000;
// Run status: the "loops" option was rejected.
const int kRunBadLoops = -9000;

// Answers "help", or queries device 0, prints its name, validates "size" and
// "loops" and runs the measurements. Returns kRunOk, kRunBadSize or
// kRunBadLoops; exits with status 1 when device 0 cannot be queried or is in
// prohibited compute mode.
int runProgram(int argc, const char *const *argv);

#endif
