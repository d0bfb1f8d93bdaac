// The clock report's parsing: the input's first line is the clk_rate text,
// the rest the clock table as read from its file; the whole input is also
// looked up in the module table as a device tree's compatible property.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/decimal.h"
#include "board/memory_clock.h"
#include "board/module_table.h"

namespace {

void require(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

uint64_t referenceRate(const char *text) {
  const char *digits = text;
  while (*digits == ' ' || (*digits >= '\t' && *digits <= '\r')) {
    digits++;
  }
  if (*digits == '-') {
    return 0;
  }
  const unsigned long long value = strtoull(text, nullptr, 10);
  return value > kDecimalSaturation ? kDecimalSaturation : value;
}

// Looks the key up in an exactly sized copy, so a read past the text is
// caught, and returns whether a tag was found and which.
bool lookup(const std::vector<char> &table, const char *key, std::string *tag) {
  char *text = new char[table.size()];
  std::copy(table.begin(), table.end(), text);
  char found[4] = "\x01\x01\x01";
  const bool hit = findClockTag(text, table.size(), key, found);
  delete[] text;
  if (hit) {
    require(found[3] == '\0', "tag terminated");
    *tag = std::string(found, 3);
  } else {
    require(memcmp(found, "\x01\x01\x01", 4) == 0, "tag untouched on a miss");
  }
  return hit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *bytes = reinterpret_cast<const char *>(data);
  const char *newline = static_cast<const char *>(memchr(bytes, '\n', size));
  const size_t rateLength = newline != nullptr ? static_cast<size_t>(newline - bytes) : size;
  const std::string rateText(bytes, rateLength);
  // The table is read into a 16 KiB buffer, at most 16383 bytes of it.
  const size_t tableStart = newline != nullptr ? rateLength + 1 : size;
  const size_t tableLength = std::min(size - tableStart, kClockTextBufferSize - 1);
  std::vector<char> table(bytes + tableStart, bytes + tableStart + tableLength);

  const uint64_t rate = parseRate(rateText.c_str());
  require(rate == referenceRate(rateText.c_str()), "rate as strtoull reads it, saturated");

  char key[kClockScratchSize];
  snprintf(key, sizeof key, "%llu", static_cast<unsigned long long>(rate / 1000u));
  std::string tag;
  const bool hit = lookup(table, key, &tag);

  // Against a plain search of the text up to its first NUL.
  const std::string text(table.begin(), std::find(table.begin(), table.end(), '\0'));
  const size_t at = text.find(key);
  const size_t tagAt = at + strlen(key) + kClockTagOffset;
  const bool expected = at != std::string::npos && tagAt + kClockTagLength <= text.size();
  require(hit == expected, "tag found exactly when it lies inside the text");
  if (hit) {
    require(tag == text.substr(tagAt, kClockTagLength), "tag is the table's three characters");
  }

  // The same bytes as a device tree's compatible property: a match is one
  // of its strings, whole, and the lookup stays inside the property.
  {
    char *property = new char[size];
    std::copy(bytes, bytes + size, property);
    const ModuleMatch module = lookUpModule(property, size);
    delete[] property;
    if (module.found) {
      bool isString = false;
      for (size_t start = 0; start <= size && !isString;) {
        const void *nul = memchr(bytes + start, '\0', size - start);
        const size_t end = nul != nullptr ? static_cast<size_t>(static_cast<const char *>(nul) - bytes) : size;
        isString = module.compatible == std::string(bytes + start, end - start);
        start = end + 1;
      }
      require(isString, "the match is one of the strings");
      require(module.busWidthBits == 64 || module.busWidthBits == 128 || module.busWidthBits == 256, "a width");
    }
  }

  // Bytes after the first NUL change nothing.
  if (text.size() < table.size()) {
    std::vector<char> changed(table);
    for (size_t i = text.size() + 1; i < changed.size(); i++) {
      changed[i] = static_cast<char>(~changed[i]);
    }
    std::string changedTag;
    require(lookup(changed, key, &changedTag) == hit && changedTag == tag, "text ends at NUL");
  }
  return 0;
}
