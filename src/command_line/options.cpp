#include "command_line/options.h"

#include <cstring>

#include "board/decimal.h"

namespace {

const long long kBelowInt32 = -2147483649LL;
const long long kAboveInt32 = 2147483648LL;

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the first n characters ignoring ASCII case; a shorter text differs.
bool startsWithIgnoringCase(const char *text, const char *name, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (text[i] == '\0' || asciiLower(text[i]) != asciiLower(name[i])) {
      return false;
    }
  }
  return true;
}

const char *afterDashes(const char *argument) {
  return argument + dashPrefixLength('-', argument);
}

}  // namespace

int dashPrefixLength(char delimiter, const char *argument) {
  int count = 0;
  while (argument[count] == delimiter) {
    count++;
  }
  // Compared in signed terms so that an empty argument skips nothing.
  const long long length = static_cast<long long>(strlen(argument));
  return count < length - 1 ? count : 0;
}

bool hasOption(int argc, const char *const *argv, const char *name) {
  const size_t nameLength = strlen(name);
  bool found = false;
  for (int i = 1; i < argc; i++) {
    const char *text = afterDashes(argv[i]);
    const char *equals = strchr(text, '=');
    const size_t tokenLength = equals != nullptr ? static_cast<size_t>(equals - text) : strlen(text);
    if (tokenLength == nameLength && startsWithIgnoringCase(text, name, nameLength)) {
      found = true;
    }
  }
  return found;
}

long long optionIntValue(int argc, const char *const *argv, const char *name) {
  const size_t nameLength = strlen(name);
  long long value = 0;
  for (int i = 1; i < argc; i++) {
    const char *text = afterDashes(argv[i]);
    if (!startsWithIgnoringCase(text, name, nameLength)) {
      continue;
    }
    const char *rest = text + nameLength;
    if (*rest == '\0') {
      value = 0;
      continue;
    }
    if (*rest == '=') {
      rest++;
    }
    value = decimalPrefixValue(rest);
  }
  return value;
}

long long decimalPrefixValue(const char *text) {
  bool negative = false;
  const long long magnitude = static_cast<long long>(decimalPrefix(text, &negative));
  if (negative) {
    return -magnitude < kBelowInt32 ? kBelowInt32 : -magnitude;
  }
  return magnitude > kAboveInt32 ? kAboveInt32 : magnitude;
}
