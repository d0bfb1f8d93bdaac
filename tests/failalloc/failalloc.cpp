// Preloaded into the tool to make host allocations fail: every malloc of
// exactly FAILALLOC_SIZE bytes returns NULL; all others go to the C library.
#include <cstdlib>
#include <cstring>

extern "C" void *__libc_malloc(size_t size);  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

size_t failingSize() {
  static size_t size = 0;
  static bool read = false;
  if (!read) {
    const char *text = getenv("FAILALLOC_SIZE");
    size = text != nullptr ? strtoull(text, nullptr, 10) : 0;
    read = true;
  }
  return size;
}

}  // namespace

extern "C" void *malloc(size_t size) noexcept {
  if (size != 0 && size == failingSize()) {
    return nullptr;
  }
  return __libc_malloc(size);
}
