#ifndef QUILLMERE_DECIMAL_H
#define QUILLMERE_DECIMAL_H

#include <cstddef>
#include <cstdint>
#include <string>

// Largest magnitude decimalPrefix returns: beyond every range the tool accepts.
const uint64_t kDecimalSaturation = 1ULL << 40;

// Reads the text that atoi reads (leading blanks, one sign, then decimal
// digits up to the first other character) without overflow: returns the
// magnitude, saturated at kDecimalSaturation, and sets *negative for a '-'.
// No digits give 0.
uint64_t decimalPrefix(const char *text, bool *negative);

// Reads one to most decimal digits at *at into *value and moves *at past
// them. False, with *at untouched, for no digit or more than most.
bool readDigits(const char **at, size_t most, uint64_t *value);

// A number as printed with the given decimals ("%.*f"), its digits read as
// one integer, as decimalPrefix reads them, so that a verdict agrees with
// what the reader sees. *negative is set for a number printed with a '-'.
uint64_t printedDigits(double value, int decimals, bool *negative);

// A ratio as the reports print it ("%.3f"), its three decimals read as one
// integer of thousandths.
uint64_t printedThousandths(double ratio, bool *negative);

// Thousandths of a ratio, or tenths of a percentage, as a percentage with
// one decimal ("56.9").
std::string thousandthsAsPercent(uint64_t thousandths);

#endif
