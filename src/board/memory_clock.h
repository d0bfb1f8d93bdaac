#ifndef QUILLMERE_MEMORY_CLOCK_H
#define QUILLMERE_MEMORY_CLOCK_H

#include <cstddef>
#include <cstdint>

// Size of the text buffer that every debugfs read goes into.
const size_t kClockTextBufferSize = 16384;
// Size of the scratch string that holds the lookup key and then the tag.
const size_t kClockScratchSize = 128;
// Characters between the end of the kHz key and the tag in the clock table.
const size_t kClockTagOffset = 10;
// Characters in a tag.
const size_t kClockTagLength = 3;

// Number of files the RAM text may come from.
const size_t kClockRateFileCount = 4;

// Where the memory controller's clock shows.
struct ClockFiles {
  // Rates in Hz for the RAM text, printed in MHz: the first that yields a
  // line gives it.
  const char *rates[kClockRateFileCount];
  const char *clkRate;    // set rate in Hz, the key into the table
  const char *tables[2];  // clock table; the second is tried when the first does not open
};

// The board's files.
extern const ClockFiles kBoardClockFiles;

// What the clock files said.
struct MemoryClock {
  const char *rateSource;  // the file the RAM text came from; nullptr: no RAM text
  uint64_t rateHz;
  bool haveClockRate;      // clk_rate yielded a line, so the table was looked at
  bool haveTag;
  char tag[kClockTagLength + 1];
};

// Reads the rate in Hz from the first of the rate files that yields a line
// into *rateHz, as the RAM text takes it; returns that file, or nullptr
// when none does.
const char *readClockRate(const ClockFiles &files, char *textBuffer, uint64_t *rateHz);

// Reads the clock files into *clock. textBuffer holds kClockTextBufferSize
// bytes, scratch kClockScratchSize zero-filled bytes.
void readMemoryClock(const ClockFiles &files, char *textBuffer, char *scratch, MemoryClock *clock);

// Prints "RAM:\t<MHz> MHz" and " (cfg: <tag>)\n" on standard output; each
// piece falls away when its file could not be read.
void printMemoryClock(const MemoryClock &clock);

// Reads a rate in Hz from the text that atoi reads, without overflow: it
// saturates at kDecimalSaturation. No digits, or a negative value, give 0.
uint64_t parseRate(const char *text);

// Reads the first line of a file into textBuffer (kClockTextBufferSize
// bytes). A file that does not open or yields no line gives false.
bool readFirstLine(const char *path, char *textBuffer);

// Reads the first line of a file of one decimal (a rate in Hz, a count or a
// flag) into textBuffer and converts it as parseRate does. A file that does
// not open or yields no line gives false, as if it were not there.
bool readDecimalFile(const char *path, char *textBuffer, uint64_t *value);

// Looks for key in the first textLength bytes of text (up to the first NUL)
// and copies the three characters that stand kClockTagOffset characters after
// the end of its first occurrence into tag (4 bytes, NUL-terminated). Returns
// false, leaving tag alone, when the key does not occur or the tag would run
// past the text. tag may be the key's own buffer.
bool findClockTag(const char *text, size_t textLength, const char *key, char *tag);

#endif
