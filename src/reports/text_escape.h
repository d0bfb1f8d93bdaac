#ifndef QUILLMERE_REPORTS_TEXT_ESCAPE_H
#define QUILLMERE_REPORTS_TEXT_ESCAPE_H

#include <string>

// The bytes as valid UTF-8: each maximal ill-formed subsequence is replaced
// by one U+FFFD, as the Unicode standard recommends; valid text is unchanged.
std::string validUtf8(const std::string &bytes);

// A JSON string literal (quotes included) of the bytes made valid UTF-8:
// '"' and '\' escaped, characters below U+0020 as \n, \t and the like or
// \u00XX.
std::string jsonString(const std::string &bytes);

// A Prometheus label value (without its quotes) of the bytes made valid
// UTF-8, with '\', '"' and newline escaped.
std::string prometheusLabelValue(const std::string &bytes);

// The value in the printf format (one double); empty when it is not finite.
std::string finiteNumber(const char *format, double value);

#endif
