#ifndef QUILLMERE_DATA_VERIFY_H
#define QUILLMERE_DATA_VERIFY_H

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes compared at a time; a block that differs is then counted byte by byte.
const size_t kCompareBlock = 4096;

// What one comparison found: how many bytes differ and the first of them.
struct ByteDifference {
  uint64_t count = 0;
  uint64_t offset = 0;
  unsigned char read = 0;
  unsigned char expected = 0;
};

// Compares size bytes read back with the bytes expected. Costs about what
// memcmp does where nothing differs.
ByteDifference compareBytes(const unsigned char *read, const unsigned char *expected, size_t size);

// Compares size bytes read back with a block of kCompareBlock bytes that
// repeats: byte i is expected to be block[i % kCompareBlock].
ByteDifference compareRepeating(const unsigned char *read, const unsigned char *block, size_t size);

// Fills size bytes (a multiple of 8) with the check pattern of the
// sustained copy: 64-bit word i, little-endian, holds i x
// 0x9E3779B97F4A7C15 modulo 2^64, so that a byte that lands at another
// address differs.
void fillCheckPattern(unsigned char *buffer, size_t size);

// The run's read-backs as they went.
struct VerifyRecord {
  bool requested = false;  // --verify, with every other option, was accepted
  long long readBacks = 0;
  uint64_t bytes = 0;
  uint64_t differingBytes = 0;
  bool differs = false;    // a read-back differed: the run ended at it
  std::string where;       // that check's name
  uint64_t checkedBytes = 0;  // and its size
  ByteDifference first;    // and its first difference
};

// What a measurement needs to check its data, with --verify.
struct DataCheck {
  VerifyRecord *record;
  unsigned char *h_check;    // the transfer size, for the read-backs
  unsigned char *h_pattern;  // the transfer size of the check pattern, for the sustained copy; else null
};

// Counts one read-back of size bytes checked at where; returns false, with
// where and the difference kept, when a byte differed.
bool countReadBack(VerifyRecord *record, const char *where, uint64_t size, const ByteDifference &difference);

// "<where> read back <n> differing bytes of <size>, the first at byte
// <offset> (0x<read> instead of 0x<expected>)".
std::string differenceMessage(const VerifyRecord &record, uint64_t size);

#endif
