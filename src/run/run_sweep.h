#ifndef QUILLMERE_RUN_RUN_SWEEP_H
#define QUILLMERE_RUN_RUN_SWEEP_H

// Runs the record's sweep after the measurements: the text report prints its
// header as it starts, a line as each size ends and the plateau's line at
// its end. Its copies are not read back. Returns kRunOk; kRunTimerFault
// after "Error: the GPU timer gave <t> ms for a sweep repetition";
// kRunInterrupted after a stop signal, the sizes measured printed first.
int runSweep();

#endif
