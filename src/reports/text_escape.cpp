#include "reports/text_escape.h"

#include <cmath>
#include <cstdio>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The range of the byte after a lead byte, and how many continuation bytes
// the lead needs (0: not a lead byte).
struct Lead {
  unsigned char low;
  unsigned char high;
  int continuations;
};

Lead leadOf(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) {
    return {0x80, 0xBF, 1};
  }
  if (byte == 0xE0) {
    return {0xA0, 0xBF, 2};  // no overlong forms
  }
  if (byte == 0xED) {
    return {0x80, 0x9F, 2};  // no surrogates
  }
  if (byte >= 0xE1 && byte <= 0xEF) {
    return {0x80, 0xBF, 2};
  }
  if (byte == 0xF0) {
    return {0x90, 0xBF, 3};
  }
  if (byte >= 0xF1 && byte <= 0xF3) {
    return {0x80, 0xBF, 3};
  }
  if (byte == 0xF4) {
    return {0x80, 0x8F, 3};  // nothing above U+10FFFF
  }
  return {0, 0, 0};
}

}  // namespace

std::string validUtf8(const std::string &bytes) {
  std::string text;
  text.reserve(bytes.size());
  const size_t size = bytes.size();
  for (size_t at = 0; at < size;) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x80) {
      text += static_cast<char>(byte);
      at++;
      continue;
    }
    const Lead lead = leadOf(byte);
    // The longest prefix of a well-formed sequence counts as one error; the
    // byte that breaks it starts afresh.
    size_t end = at + 1;
    for (int i = 0; i < lead.continuations && end < size; i++, end++) {
      const unsigned char next = static_cast<unsigned char>(bytes[end]);
      const unsigned char low = i == 0 ? lead.low : 0x80;
      const unsigned char high = i == 0 ? lead.high : 0xBF;
      if (next < low || next > high) {
        break;
      }
    }
    if (lead.continuations > 0 && end - at == static_cast<size_t>(lead.continuations) + 1) {
      text.append(bytes, at, end - at);
    } else {
      text += kReplacement;
    }
    at = end;
  }
  return text;
}

std::string jsonString(const std::string &bytes) {
  const std::string text = validUtf8(bytes);
  std::string literal = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': literal += "\\\""; break;
      case '\\': literal += "\\\\"; break;
      case '\b': literal += "\\b"; break;
      case '\f': literal += "\\f"; break;
      case '\n': literal += "\\n"; break;
      case '\r': literal += "\\r"; break;
      case '\t': literal += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          literal += escape;
        } else {
          literal += c;
        }
    }
  }
  return literal + "\"";
}

std::string prometheusLabelValue(const std::string &bytes) {
  const std::string text = validUtf8(bytes);
  std::string value;
  for (const char c : text) {
    switch (c) {
      case '"': value += "\\\""; break;
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      default: value += c;
    }
  }
  return value;
}

std::string finiteNumber(const char *format, double value) {
  if (!std::isfinite(value)) {
    return "";
  }
  char text[512];
  snprintf(text, sizeof text, format, value);
  return text;
}
