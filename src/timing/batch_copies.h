#ifndef QUILLMERE_TIMING_BATCH_COPIES_H
#define QUILLMERE_TIMING_BATCH_COPIES_H

#include <cuda_runtime_api.h>

#include <cstdint>

#include "gpu/check_gpu_call.h"

// A batch of device-to-device copies between two buffers, as a timed
// repetition of the phases that copy for a time issues it; each way's call
// with the call site and text its error line gives.
struct BatchCopies {
  void *in;
  void *out;
  uint32_t memSize;
  long copies;
  int forwardSite;
  const char *forwardText;  // cudaMemcpyAsync(<out>, <in>, memSize, cudaMemcpyDeviceToDevice, 0)
  int backSite;
  const char *backText;     // cudaMemcpyAsync(<in>, <out>, memSize, cudaMemcpyDeviceToDevice, 0)
};

// Issues one batch on stream 0. With kAlternate the copies go back and forth,
// *forward saying which way the next one goes, so that each reads what the
// one before it wrote; without it every copy goes from in to out, and the
// other way is compiled out.
template <bool kAlternate>
void issueBatch(const BatchCopies &batch, bool *forward) {
  bool next = *forward;
  for (long copy = 0; copy < batch.copies; copy++) {
    if (!kAlternate || next) {
      checkGpuCall(cudaMemcpyAsync(batch.out, batch.in, batch.memSize, cudaMemcpyDeviceToDevice, 0),
                   batch.forwardText, QUILLMERE_FILE_LABEL, batch.forwardSite);
    } else {
      checkGpuCall(cudaMemcpyAsync(batch.in, batch.out, batch.memSize, cudaMemcpyDeviceToDevice, 0), batch.backText,
                   QUILLMERE_FILE_LABEL, batch.backSite);
    }
    next = next != kAlternate;
  }
  *forward = next;
}

#endif
