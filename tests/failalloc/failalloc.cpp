// Preloaded into the tool to make host allocations fail: every malloc of
// exactly FAILALLOC_SIZE bytes returns NULL (with FAILALLOC_CALL=n, only the
// n-th); all others go to the C library.
// With FAILALLOC_ALIGNED=n, malloc is left alone and the n-th posix_memalign
// of FAILALLOC_SIZE bytes fails instead, so that a page-aligned buffer can
// fail while the staging buffer of the same size does not.
// With FAILALLOC_THREAD=n, the n-th pthread_create fails with EAGAIN; with
// FAILALLOC_FLIP=n, the n-th memcpy of exactly 1 MiB (a CPU copy's chunk)
// flips the low bit of the first byte it wrote.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" void *__libc_malloc(size_t size);  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void *__libc_memalign(size_t alignment, size_t size);  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

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

// A call's number from the environment; 0 without it.
long callNumber(const char *name) {
  const char *text = getenv(name);
  return text != nullptr ? strtol(text, nullptr, 10) : 0;
}

// Which malloc of the failing size fails; 0: every one.
long failingCall() {
  static const long call = callNumber("FAILALLOC_CALL");
  return call;
}

// Which posix_memalign of the failing size fails; 0: malloc fails instead.
long failingAlignedCall() {
  static const long call = callNumber("FAILALLOC_ALIGNED");
  return call;
}

// The C library's own definition of a function this library replaces.
template <typename Function>
Function next(const char *name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*start)(void *),
                              void *argument) {
  static std::atomic<long> calls{0};
  static const long failing = callNumber("FAILALLOC_THREAD");
  if (++calls == failing) {
    return EAGAIN;
  }
  using Create = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
  static const Create create = next<Create>("pthread_create");
  return create(thread, attributes, start, argument);
}

extern "C" void *memcpy(void *to, const void *from, size_t size) noexcept {
  using Copy = void *(*)(void *, const void *, size_t);
  static const Copy copy = next<Copy>("memcpy");
  copy(to, from, size);
  static std::atomic<long> chunks{0};
  static const long flipped = callNumber("FAILALLOC_FLIP");
  if (size == (1u << 20) && flipped != 0 && ++chunks == flipped) {
    *static_cast<unsigned char *>(to) ^= 1;
  }
  return to;
}

extern "C" void *malloc(size_t size) noexcept {
  static long calls = 0;
  if (size != 0 && size == failingSize() && failingAlignedCall() == 0 &&
      (++calls == failingCall() || failingCall() == 0)) {
    return nullptr;
  }
  return __libc_malloc(size);
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int posix_memalign(void **pointer, size_t alignment, size_t size) noexcept {
  static long calls = 0;
  if (size != 0 && size == failingSize() && ++calls == failingAlignedCall()) {
    return ENOMEM;
  }
  void *memory = __libc_memalign(alignment, size);
  if (memory == nullptr) {
    return ENOMEM;
  }
  *pointer = memory;
  return 0;
}
