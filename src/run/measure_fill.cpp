#include <cuda_runtime_api.h>

#include "gpu/check_gpu_call.h"
#include "run/measurements.h"
#include "run/progress.h"
#include "timing/rate.h"

namespace {

// What the fill leaves in every byte.
const unsigned char kZeroBlock[kCompareBlock] = {};

}  // namespace

float measureDeviceFill(uint32_t memSize, int repetitions, TimingStats *stats, const DataCheck *check) {
  cudaEvent_t start = nullptr;
  cudaEvent_t stop = nullptr;
  CHECK_GPU_CALL(264, cudaEventCreate(&start));
  CHECK_GPU_CALL(265, cudaEventCreate(&stop));

  void *d_odata = nullptr;
  CHECK_GPU_CALL(269, cudaMalloc((void **) &d_odata, memSize));

  beginProgress("Memset", repetitions, static_cast<double>(memSize));
  for (int i = 0; i < repetitions; i++) {
    float elapsedTimeInMsCurrent = 0.0f;
    CHECK_GPU_CALL(274, cudaEventRecord(start, 0));
    CHECK_GPU_CALL(275, cudaMemset(d_odata, 0, memSize));
    CHECK_GPU_CALL(276, cudaEventRecord(stop, 0));
    CHECK_GPU_CALL(280, cudaDeviceSynchronize());
    CHECK_GPU_CALL(283, cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop));
    // Keeps the smallest time too, which gives the figure.
    addTime(stats, elapsedTimeInMsCurrent);
    if (tickProgress(*stats)) {
      break;
    }
  }

  const float figure = megabytesPerSecond(static_cast<double>(memSize), stats->shortest);

  if (check != nullptr && stats->count == repetitions) {
    unsigned char *h_check = check->h_check;
    CHECK_GPU_CALL(501, cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost));
    countReadBack(check->record, "Memset", memSize, compareRepeating(h_check, kZeroBlock, memSize));
  }

  CHECK_GPU_CALL(293, cudaEventDestroy(stop));
  CHECK_GPU_CALL(294, cudaEventDestroy(start));
  CHECK_GPU_CALL(295, cudaFree(d_odata));
  return figure;
}
