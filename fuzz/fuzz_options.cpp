// Option scanning on an argument vector made of the input's NUL-separated
// pieces (argument 0 is the program name and is never scanned).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "run/options.h"
#include "run/settings.h"

namespace {

void require(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

// atoi's reading of text, widened so nothing overflows, then saturated.
long long referenceValue(const char *text) {
  const long long value = strtoll(text, nullptr, 10);
  const long long low = -2147483649LL;
  const long long high = 2147483648LL;
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> pieces(1, "quillmere");
  pieces.emplace_back();
  for (size_t i = 0; i < size; i++) {
    if (data[i] == '\0') {
      pieces.emplace_back();
    } else {
      pieces.back() += static_cast<char>(data[i]);
    }
  }
  std::vector<const char *> argv(pieces.size());
  std::transform(pieces.begin(), pieces.end(), argv.begin(),
                 [](const std::string &piece) { return piece.c_str(); });
  const int argc = static_cast<int>(argv.size());

  for (const char *argument : argv) {
    const int skip = dashPrefixLength('-', argument);
    const long long length = static_cast<long long>(strlen(argument));
    require(skip == 0 || (skip < length - 1 && argument[skip - 1] == '-'), "dash prefix in range");
    const long long value = decimalPrefixValue(argument);
    require(value == referenceValue(argument), "value as atoi reads it, saturated");
  }

  for (const char *name : {"help", "size", "loops"}) {
    const long long value = optionIntValue(argc, argv.data(), name);
    require(value >= -2147483649LL && value <= 2147483648LL, "option value in range");
  }

  // Whatever the arguments, an accepted size is a whole number of MiB below
  // 4 GiB, and accepted loops are positive.
  uint32_t memSize = 0;
  if (readSizeOption(argc, argv.data(), &memSize) == kRunOk) {
    require(memSize % (1u << 20) == 0, "size is whole MiB");
    require(memSize == 0 || hasOption(argc, argv.data(), "size"), "size only from the option");
    require(memSize != 0 || !hasOption(argc, argv.data(), "size"), "given size is not zero");
  } else {
    require(memSize == 0, "rejected size leaves memSize alone");
  }
  int repetitions = 0;
  if (readLoopsOption(argc, argv.data(), &repetitions) == kRunOk) {
    require(repetitions > 0 || !hasOption(argc, argv.data(), "loops"), "loops positive");
  } else {
    require(repetitions == 0, "rejected loops leave repetitions alone");
  }
  return 0;
}
