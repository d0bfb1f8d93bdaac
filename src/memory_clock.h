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

// Where the memory controller's clock shows under debugfs.
struct ClockFiles {
  const char *ptoRate;      // measured rate in Hz, printed in MHz
  const char *clkRate;      // set rate in Hz, the key into the table
  const char *tables[2];    // clock table; the second is tried when the first does not open
};

// The board's debugfs files.
extern const ClockFiles kBoardClockFiles;

// Prints "RAM:\t<MHz> MHz" and " (cfg: <tag>)\n" from the board's debugfs
// files on standard output; each piece falls away when its file cannot be
// read. textBuffer holds kClockTextBufferSize bytes, scratch
// kClockScratchSize zero-filled bytes.
void reportMemoryClock(char *textBuffer, char *scratch);

// The same report from the given files.
void reportMemoryClockFrom(const ClockFiles &files, char *textBuffer, char *scratch);

// Reads a rate in Hz from the text that atoi reads, as an unsigned 32-bit
// value that saturates at 4294967295 instead of wrapping. No digits, or a
// negative value, give 0.
uint32_t parseRate(const char *text);

// Looks for key in the first textLength bytes of text (up to the first NUL)
// and copies the three characters that stand kClockTagOffset characters after
// the end of its first occurrence into tag (4 bytes, NUL-terminated). Returns
// false, leaving tag alone, when the key does not occur or the tag would run
// past the text. tag may be the key's own buffer.
bool findClockTag(const char *text, size_t textLength, const char *key, char *tag);

#endif
