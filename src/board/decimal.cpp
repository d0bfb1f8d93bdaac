#include "board/decimal.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

uint64_t decimalPrefix(const char *text, bool *negative) {
  while (isBlank(*text)) {
    text++;
  }
  *negative = *text == '-';
  if (*text == '+' || *text == '-') {
    text++;
  }
  uint64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; text++) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(*text - '0');
    if (magnitude > kDecimalSaturation) {
      return kDecimalSaturation;
    }
  }
  return magnitude;
}
