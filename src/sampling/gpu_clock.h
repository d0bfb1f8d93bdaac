#ifndef QUILLMERE_SAMPLING_GPU_CLOCK_H
#define QUILLMERE_SAMPLING_GPU_CLOCK_H

#include <cstdint>

#include "board/known.h"

// Where the kernel lists its devfreq devices.
extern const char *const kDevfreqFolder;

// True for the name of an integrated GPU's devfreq device: gpu-gpc-0 (t264),
// or a name ending in .gpu, .gp10b, .gv11b or .ga10b.
bool isGpuDevfreqName(const char *name);

// The cur_freq, in Hz, of the first GPU device in byte order of the names
// in the folder; unknown when there is none or it does not read.
Known<uint64_t> readGpuClock(const char *folder, char *textBuffer);

#endif
