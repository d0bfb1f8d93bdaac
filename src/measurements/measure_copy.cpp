#include <cuda_runtime_api.h>

#include <cstdlib>

#include "data/staging.h"
#include "gpu/check_gpu_call.h"
#include "measurements/measurements.h"
#include "timing/timed_loop.h"

namespace {

const TimerCalls kCopyTimer = {
    226, "cudaEventRecord(start, 0)",     229, "cudaEventRecord(stop, 0)", 234, "cudaDeviceSynchronize()", true,
    237, "cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop)"};

}  // namespace

int measureDeviceCopy(uint32_t memSize, int repetitions, const PhaseObserver &observer, const DataCheck *check,
                      MeasuredFigure *copy) {
  cudaEvent_t start = nullptr;
  cudaEvent_t stop = nullptr;
  CHECK_GPU_CALL(195, cudaEventCreate(&start));
  CHECK_GPU_CALL(196, cudaEventCreate(&stop));

  unsigned char *h_idata = static_cast<unsigned char *>(malloc(memSize));
  if (h_idata == nullptr) {
    return kMeasureNoHostMemory;
  }
  fillStagingBuffer(h_idata, memSize);

  void *d_idata = nullptr;
  void *d_odata = nullptr;
  CHECK_GPU_CALL(215, cudaMalloc((void **) &d_idata, memSize));
  CHECK_GPU_CALL(217, cudaMalloc((void **) &d_odata, memSize));
  CHECK_GPU_CALL(221, cudaMemcpy(d_idata, h_idata, memSize, cudaMemcpyHostToDevice));

  // Doubled in double precision: 2 x memSize does not fit 32 bits from 2 GiB on.
  const double bytes = 2.0 * static_cast<double>(memSize);
  const TimedWork work = {&kCopyTimer, start, stop, fewestMs(bytes, kMostMbPerS)};
  observer.partBegins("Memcpy", repetitions, bytes);
  const int timed = timeRepetitions(
      work, repetitions, observer,
      [=] { CHECK_GPU_CALL(228, cudaMemcpy(d_odata, d_idata, memSize, cudaMemcpyDeviceToDevice)); }, &copy->stats,
      &copy->badMs);
  const int status = measurementEnded(timed, repetitions, bytes, copy);

  // The last repetition wrote the whole destination.
  if (check != nullptr && copy->done) {
    unsigned char *h_check = check->h_check;
    CHECK_GPU_CALL(500, cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost));
    countReadBack(check->record, "Memcpy", memSize, compareBytes(h_check, h_idata, memSize));
  }

  free(h_idata);
  CHECK_GPU_CALL(248, cudaEventDestroy(stop));
  CHECK_GPU_CALL(249, cudaEventDestroy(start));
  CHECK_GPU_CALL(250, cudaFree(d_idata));
  CHECK_GPU_CALL(251, cudaFree(d_odata));
  return status;
}
