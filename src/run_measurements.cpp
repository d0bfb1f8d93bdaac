#include "run_measurements.h"

#include <cuda_runtime_api.h>

#include <cstdio>
#include <cstdlib>

#include "measurements.h"
#include "memory_clock.h"

void runMeasurements(uint32_t memSize, int repetitions) {
  // Without the text buffer the clock report is skipped; the figures still count.
  char *textBuffer = static_cast<char *>(malloc(kClockTextBufferSize));

  (void)cudaSetDevice(0);

  const double copyFigure = measureDeviceCopy(memSize, repetitions);
  const double fillFigure = measureDeviceFill(memSize, repetitions);

  if (textBuffer != nullptr) {
    char scratch[kClockScratchSize] = {};
    reportMemoryClock(textBuffer, scratch);
  }

  printf("\nMemcpy");
  printf("\t%7.1f MB/s (Total: %.1f MB/s)\n", copyFigure / 2, copyFigure);
  printf("Memset");
  printf("\t%7.1f MB/s\n", fillFigure);

  free(textBuffer);
}
