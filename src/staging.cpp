#include "staging.h"

void fillStagingBuffer(unsigned char *buffer, uint32_t size) {
  for (uint32_t i = 0; i < size; i++) {
    buffer[i] = static_cast<unsigned char>(i & 0xffu);
  }
}
