#include <cuda_runtime_api.h>

#include <cstdio>
#include <cstdlib>

#include "gpu/check_gpu_call.h"
#include "run/measurements.h"
#include "run/progress.h"
#include "run/run_record.h"
#include "timing/rate.h"
#include "data/staging.h"

void failHostAllocation() {
  const char *message = "Not enough memory avaialable on host to run test!";
  fprintf(stderr, "%s\n", message);
  recordError(kErrorHostMemory, message);
  exit(EXIT_FAILURE);
}

float measureDeviceCopy(uint32_t memSize, int repetitions, TimingStats *stats, const DataCheck *check) {
  cudaEvent_t start = nullptr;
  cudaEvent_t stop = nullptr;
  CHECK_GPU_CALL(195, cudaEventCreate(&start));
  CHECK_GPU_CALL(196, cudaEventCreate(&stop));

  unsigned char *h_idata = static_cast<unsigned char *>(malloc(memSize));
  if (h_idata == nullptr) {
    failHostAllocation();
  }
  fillStagingBuffer(h_idata, memSize);

  void *d_idata = nullptr;
  void *d_odata = nullptr;
  CHECK_GPU_CALL(215, cudaMalloc((void **) &d_idata, memSize));
  CHECK_GPU_CALL(217, cudaMalloc((void **) &d_odata, memSize));
  CHECK_GPU_CALL(221, cudaMemcpy(d_idata, h_idata, memSize, cudaMemcpyHostToDevice));

  beginProgress("Memcpy", repetitions, 2.0 * static_cast<double>(memSize));
  for (int i = 0; i < repetitions; i++) {
    float elapsedTimeInMsCurrent = 0.0f;
    CHECK_GPU_CALL(226, cudaEventRecord(start, 0));
    CHECK_GPU_CALL(228, cudaMemcpy(d_odata, d_idata, memSize, cudaMemcpyDeviceToDevice));
    CHECK_GPU_CALL(229, cudaEventRecord(stop, 0));
    CHECK_GPU_CALL(234, cudaDeviceSynchronize());
    CHECK_GPU_CALL(237, cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop));
    // Keeps the smallest time too, which gives the figure.
    addTime(stats, elapsedTimeInMsCurrent);
    if (tickProgress(*stats)) {
      break;
    }
  }

  // Doubled in double precision: 2 x memSize does not fit 32 bits from 2 GiB on.
  const float figure = megabytesPerSecond(2.0 * static_cast<double>(memSize), stats->shortest);

  // The last repetition wrote the whole destination.
  if (check != nullptr && stats->count == repetitions) {
    unsigned char *h_check = check->h_check;
    CHECK_GPU_CALL(500, cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost));
    countReadBack(check->record, "Memcpy", memSize, compareBytes(h_check, h_idata, memSize));
  }

  free(h_idata);
  CHECK_GPU_CALL(248, cudaEventDestroy(stop));
  CHECK_GPU_CALL(249, cudaEventDestroy(start));
  CHECK_GPU_CALL(250, cudaFree(d_idata));
  CHECK_GPU_CALL(251, cudaFree(d_odata));
  return figure;
}
