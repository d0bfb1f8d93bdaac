#include "timing/timed_loop.h"

#include "gpu/check_gpu_call.h"

void failTimerCall(const TimerCalls &calls, int which, cudaError_t status) {
  switch (which) {
    case 0: failGpuCall(status, calls.startText, QUILLMERE_FILE_LABEL, calls.startSite);
    case 1: failGpuCall(status, calls.stopText, QUILLMERE_FILE_LABEL, calls.stopSite);
    case 2: failGpuCall(status, calls.waitText, QUILLMERE_FILE_LABEL, calls.waitSite);
    default: failGpuCall(status, calls.elapsedText, QUILLMERE_FILE_LABEL, calls.elapsedSite);
  }
}
