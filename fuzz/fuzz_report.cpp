// The machine reports' text escaping: any bytes, as a device name or tag,
// come out as valid UTF-8 that reads back as the bytes made valid.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reports/text_escape.h"

namespace {

void require(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

// Decodes code points by their bit patterns and checks every rule of
// well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool wellFormed(const std::string &text) {
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) {
      return false;
    }
    uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; i++) {
      const unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      point = (point << 6) | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
      return false;
    }
    at += length;
  }
  return true;
}

// Reads a JSON string literal back, as a strict parser would.
std::string unescapeJson(const std::string &literal) {
  require(literal.size() >= 2 && literal.front() == '"' && literal.back() == '"', "quoted");
  std::string text;
  for (size_t at = 1; at + 1 < literal.size(); at++) {
    const char c = literal[at];
    require(static_cast<unsigned char>(c) >= 0x20, "no raw control character");
    require(c != '"', "no bare quote");
    if (c != '\\') {
      text += c;
      continue;
    }
    require(at + 2 < literal.size(), "escape inside the literal");
    const char escaped = literal[++at];
    const std::string simple = "\"\\bfnrt";
    const std::string meaning = "\"\\\b\f\n\r\t";
    if (simple.find(escaped) != std::string::npos) {
      text += meaning[simple.find(escaped)];
    } else {
      require(escaped == 'u' && at + 4 < literal.size() && literal.compare(at + 1, 2, "00") == 0, "\\u00XX");
      text += static_cast<char>(strtol(literal.substr(at + 3, 2).c_str(), nullptr, 16));
      at += 4;
    }
  }
  return text;
}

std::string unescapeLabel(const std::string &value) {
  std::string text;
  for (size_t at = 0; at < value.size(); at++) {
    require(value[at] != '\n' && value[at] != '"', "no raw newline or quote");
    if (value[at] == '\\') {
      require(at + 1 < value.size(), "escape complete");
      const char escaped = value[++at];
      require(escaped == '\\' || escaped == '"' || escaped == 'n', "known escape");
      text += escaped == 'n' ? '\n' : escaped;
    } else {
      text += value[at];
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const std::string valid = validUtf8(bytes);
  require(wellFormed(valid), "valid UTF-8");
  require(validUtf8(valid) == valid, "valid text unchanged");
  require(!wellFormed(bytes) || valid == bytes, "well-formed input unchanged");
  require(valid.size() <= 3 * bytes.size(), "at most one replacement per byte");
  require(unescapeJson(jsonString(bytes)) == valid, "JSON literal reads back");
  require(unescapeLabel(prometheusLabelValue(bytes)) == valid, "label value reads back");
  return 0;
}
