#ifndef QUILLMERE_DATA_STAGING_H
#define QUILLMERE_DATA_STAGING_H

#include <cstdint>

// Fills the host staging buffer: byte i gets the value i modulo 256.
void fillStagingBuffer(unsigned char *buffer, uint32_t size);

#endif
