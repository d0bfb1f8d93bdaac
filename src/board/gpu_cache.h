#ifndef QUILLMERE_BOARD_GPU_CACHE_H
#define QUILLMERE_BOARD_GPU_CACHE_H

#include <cstdint>
#include <string>

// The GPU's L2 cache against a copy's size: a copy whose two buffers fit in
// the L2 reads the cache, not the memory. l2Bytes is the properties'
// l2CacheSize; 0 or less is unknown.

// True when the L2 is known and both buffers of sizeBytes fit in it.
bool cacheSized(long long l2Bytes, uint64_t sizeBytes);

// The size past the cache, in MiB: twice the L2 in MiB rounded up to a
// power of two (64 for a 32 MiB L2, 128 for 50 MB), at most 4095; 0 when
// the L2 is unknown.
uint32_t sizePastCacheMiB(long long l2Bytes);

// The L2 in MiB as the messages give it: whole, or with one decimal when
// not whole ("47.7" for 50 MB).
std::string cacheMiBText(long long l2Bytes);

// The smallest power of two at or above n (n >= 1).
uint64_t powerOfTwoAtLeast(uint64_t n);

#endif
