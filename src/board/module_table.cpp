#include "board/module_table.h"

#include <cstring>

namespace {

struct ModuleRow {
  const char *partNumber;  // "pNNNN" or "pNNNN-NNNN"; nullptr: matched by name
  const char *name;        // a whole rest without a part number
  int busWidthBits;
};

// Bus width of each module family's memory. A SKU row comes before the row
// of its part number, so the SKU wins. Where a row takes a name, the name is
// a device tree's own (older trees and mainline name the board, not the part).
const ModuleRow kModules[] = {
    // t210, p3448 (and its developer kit p3450, p3541 for the 2 GB kit),
    // p2180/p2371 (TX1 and its developer kit): 64-bit LPDDR4.
    {"p2180", nullptr, 64},
    {"p2371", nullptr, 64},
    {"p3448", nullptr, 64},
    {"p3450", nullptr, 64},
    {"p3541", nullptr, 64},
    {nullptr, "jetson-nano", 64},
    {nullptr, "jetson-nano-2gb", 64},
    {nullptr, "jetson-cv", 64},
    // t234, p3767-0004 (Orin Nano 4 GB): 64-bit LPDDR5.
    {"p3767-0004", nullptr, 64},
    // t186, p3310/p3489/p3636 (TX2 family) and its developer kit p2771:
    // 128-bit LPDDR4.
    {"p2771", nullptr, 128},
    {"p3310", nullptr, 128},
    {"p3489", nullptr, 128},
    {"p3636", nullptr, 128},
    {nullptr, "quill", 128},
    {nullptr, "storm", 128},
    {nullptr, "lightning", 128},
    // t194, p3668 (Xavier NX): 128-bit LPDDR4x.
    {"p3668", nullptr, 128},
    // t234, p3767 other SKUs (Orin NX, Orin Nano 8 GB): 128-bit LPDDR5.
    {"p3767", nullptr, 128},
    // t194, p2888 (AGX Xavier) and its developer kit p2972: 256-bit LPDDR4x.
    {"p2888", nullptr, 256},
    {"p2972", nullptr, 256},
    {nullptr, "galen", 256},
    {nullptr, "jetson-xavier", 256},
    {nullptr, "jetson-xavier-industrial", 256},
    // t234, p3701 (AGX Orin): 256-bit LPDDR5.
    {"p3701", nullptr, 256},
    // t264, p3834 (Thor): 256-bit LPDDR5X.
    {"p3834", nullptr, 256},
};

bool isDigits(const char *text, size_t count) {
  for (size_t i = 0; i < count; i++) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
  }
  return true;
}

// "pNNNN" and optionally "-NNNN", ending the rest or followed by '-'.
bool namesPart(const char *rest, size_t length, const char *partNumber) {
  const size_t partLength = strlen(partNumber);
  if (length < partLength || memcmp(rest, partNumber, partLength) != 0) {
    return false;
  }
  return length == partLength || rest[partLength] == '-';
}

// A rest that holds a part number at all: 'p' and four digits.
bool hasPartNumber(const char *rest, size_t length) {
  return length >= 5 && rest[0] == 'p' && isDigits(rest + 1, 4);
}

const ModuleRow *rowFor(const char *rest, size_t length) {
  const bool partNumber = hasPartNumber(rest, length);
  for (const ModuleRow &row : kModules) {
    if (partNumber && row.partNumber != nullptr && namesPart(rest, length, row.partNumber)) {
      return &row;
    }
    if (!partNumber && row.name != nullptr && strlen(row.name) == length &&
        memcmp(rest, row.name, length) == 0) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace

ModuleMatch lookUpModule(const char *compatible, size_t length) {
  ModuleMatch match = {false, 0, ""};
  for (size_t start = 0; start < length;) {
    const void *nul = memchr(compatible + start, '\0', length - start);
    const size_t end = nul != nullptr ? static_cast<size_t>(static_cast<const char *>(nul) - compatible) : length;
    const char *string = compatible + start;
    const size_t stringLength = end - start;
    const void *comma = memchr(string, ',', stringLength);
    const char *rest = comma != nullptr ? static_cast<const char *>(comma) + 1 : string;
    for (const char *at = rest; at < string + stringLength; at++) {
      if (*at == '+') {
        rest = at + 1;
      }
    }
    const ModuleRow *row = rowFor(rest, static_cast<size_t>(string + stringLength - rest));
    if (row != nullptr) {
      match.found = true;
      match.busWidthBits = row->busWidthBits;
      match.compatible.assign(string, stringLength);
      return match;
    }
    start = end + 1;
  }
  return match;
}
