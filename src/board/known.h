#ifndef QUILLMERE_BOARD_KNOWN_H
#define QUILLMERE_BOARD_KNOWN_H

// A value that may be unknown: a record says so explicitly rather than with
// a 0 that could also be a reading.
template <typename T>
struct Known {
  bool known = false;
  T value = T();
};

// A known value.
template <typename T>
Known<T> knownAs(T value) {
  Known<T> result;
  result.known = true;
  result.value = value;
  return result;
}

#endif
