#include "board/decimal.h"

#include <cstdio>
#include <cstring>

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

bool readDigits(const char **at, size_t most, uint64_t *value) {
  const size_t count = strspn(*at, "0123456789");
  if (count == 0 || count > most) {
    return false;
  }
  *value = 0;
  for (size_t i = 0; i < count; i++) {
    *value = *value * 10 + static_cast<uint64_t>((*at)[i] - '0');
  }
  *at += count;
  return true;
}

uint64_t printedDigits(double value, int decimals, bool *negative) {
  char text[512];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string digits;
  for (const char *at = text; *at != '\0'; at++) {
    if (*at != '.') {
      digits += *at;
    }
  }
  return decimalPrefix(digits.c_str(), negative);
}

uint64_t printedThousandths(double ratio, bool *negative) {
  return printedDigits(ratio, 3, negative);
}

std::string thousandthsAsPercent(uint64_t thousandths) {
  char text[64];
  snprintf(text, sizeof text, "%llu.%llu", static_cast<unsigned long long>(thousandths / 10),
           static_cast<unsigned long long>(thousandths % 10));
  return text;
}
