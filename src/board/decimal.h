#ifndef QUILLMERE_DECIMAL_H
#define QUILLMERE_DECIMAL_H

#include <cstdint>

// Largest magnitude decimalPrefix returns: beyond every range the tool accepts.
const uint64_t kDecimalSaturation = 1ULL << 40;

// Reads the text that atoi reads (leading blanks, one sign, then decimal
// digits up to the first other character) without overflow: returns the
// magnitude, saturated at kDecimalSaturation, and sets *negative for a '-'.
// No digits give 0.
uint64_t decimalPrefix(const char *text, bool *negative);

#endif
