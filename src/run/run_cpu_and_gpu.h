#ifndef QUILLMERE_RUN_RUN_CPU_AND_GPU_H
#define QUILLMERE_RUN_RUN_CPU_AND_GPU_H

#include "data/verify.h"

// Runs the record's CPU and GPU copies after the sustained copy: the text
// report prints its header as it starts, a line as each part ends and the
// drops at its end. Returns kRunOk; kRunMemoryShort after "Error: <N> CPU
// threads need <M> MiB, more than half of the <A> MiB available";
// kRunThreadFailed after "Error: could not start CPU thread <k> of <N>
// (<reason>)"; kRunTimerFault after the sustained copy's timer error;
// kRunDataDiffers after a read-back's difference; kRunInterrupted after a
// stop signal, the parts that ended printed first. Exits with status 1 when
// a CPU buffer cannot be allocated.
int runCpuAndGpu(const DataCheck *check);

#endif
