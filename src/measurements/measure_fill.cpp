#include <cuda_runtime_api.h>


#include "gpu/check_gpu_call.h"
#include "measurements/measurements.h"
#include "timing/timed_loop.h"

namespace {

// What the fill leaves in every byte.
const unsigned char kZeroBlock[kCompareBlock] = {};

const TimerCalls kFillTimer = {
    274, "cudaEventRecord(start, 0)",     276, "cudaEventRecord(stop, 0)", 280, "cudaDeviceSynchronize()", true,
    283, "cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop)"};

}  // namespace

int measureDeviceFill(uint32_t memSize, int repetitions, const PhaseObserver &observer, const DataCheck *check,
                      MeasuredFigure *fill) {
  cudaEvent_t start = nullptr;
  cudaEvent_t stop = nullptr;
  CHECK_GPU_CALL(264, cudaEventCreate(&start));
  CHECK_GPU_CALL(265, cudaEventCreate(&stop));

  void *d_odata = nullptr;
  CHECK_GPU_CALL(269, cudaMalloc((void **) &d_odata, memSize));

  const double bytes = static_cast<double>(memSize);
  const TimedWork work = {&kFillTimer, start, stop, fewestMs(bytes, kMostMbPerS)};
  observer.partBegins("Memset", repetitions, bytes);
  const int timed = timeRepetitions(
      work, repetitions, observer, [=] { CHECK_GPU_CALL(275, cudaMemset(d_odata, 0, memSize)); },
      &fill->stats, &fill->badMs);
  const int status = measurementEnded(timed, repetitions, bytes, fill);

  if (check != nullptr && fill->done) {
    unsigned char *h_check = check->h_check;
    CHECK_GPU_CALL(501, cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost));
    countReadBack(check->record, "Memset", memSize, compareRepeating(h_check, kZeroBlock, memSize));
  }

  CHECK_GPU_CALL(293, cudaEventDestroy(stop));
  CHECK_GPU_CALL(294, cudaEventDestroy(start));
  CHECK_GPU_CALL(295, cudaFree(d_odata));
  return status;
}
