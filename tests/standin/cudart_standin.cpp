// A stand-in for the CUDA runtime, loaded in place of the real libcudart so the
// tool can be run without a GPU. Each run is scripted through the environment:
//   STANDIN_NAME          device name (default "Stand-in GPU"); from 256
//                         characters on it fills the field unterminated
//   STANDIN_COMPUTE_MODE  compute mode of device 0 (default 0)
//   STANDIN_INTEGRATED    the properties' integrated (default 0: a discrete device)
//   STANDIN_BUS_WIDTH     global memory bus width in bits (default 256)
//   STANDIN_MEMORY_CLOCK  memory clock in kHz (default 3200000)
//   STANDIN_UUID          the 16 bytes of the device's UUID in hex (default 00 to 0f)
//   STANDIN_RUNTIME_VERSION, STANDIN_DRIVER_VERSION
//                         what the version queries give (default: the header's)
//   STANDIN_FAIL          "op:n=status,...": the n-th call of op returns status
//   STANDIN_L2_CACHE      the properties' l2CacheSize in bytes (default 1048576: no size fits it)
//   STANDIN_TIMES         "ms,ms*count,...": successive elapsed times, each
//                         count times (default 1); the last repeats
//   STANDIN_CHANGE_AT, STANDIN_CHANGE_FILE, STANDIN_CHANGE_TEXT
//                         after that elapsed-time read, the file gets the
//                         text: a board file that changes during the run; a
//                         file without a leading / is under DEBUGFS_ROOT
//   STANDIN_LOG           file that gets one line per call, with its arguments
//   STANDIN_DELAY_US      each device or event synchronisation takes this long (default 0)
//   STANDIN_COPY_DELAY_US "kind:us,...": each copy of that cudaMemcpyKind
//                         (1 host to device, 2 device to host) takes this long
//   STANDIN_CAN_MAP_HOST, STANDIN_PAGEABLE_ACCESS, STANDIN_HOST_REGISTER
//                         the device's attributes 19, 88 and 99 (default 1, 0, 1);
//                         attribute 18 is STANDIN_INTEGRATED
// A call that STANDIN_FAIL fails leaves its status pending: cudaGetLastError
// returns it, and clears it.
//   STANDIN_MEMORY        1: device buffers hold real bytes, and copies and
//                         fills move them (without it device memory is never
//                         touched and device pointers are only labels)
//   STANDIN_FLIP          "op:kind:n:offset:mask": after the n-th call of op
//                         (cudaMemcpy, cudaMemcpyAsync, cudaMemset) with that
//                         cudaMemcpyKind (0 for cudaMemset), the byte at offset
//                         of its destination has the bits of mask flipped
//   STANDIN_MISDIRECT     "op:kind:n:offset": that call writes the 8-byte word
//                         at offset to the next word's address instead, and
//                         the word's own address keeps what it held
//   STANDIN_SIGNAL        "op:n:signal": the n-th call of op raises the signal
//                         (a number) in the tool, as Ctrl-C or a service
//                         manager would while that call runs
// Calls are counted per function and kind, so the tool's own read-backs
// (device to host) do not shift a fault scripted for its copies.
// Device pointers are labelled d1, d2, ... in the log.
// Host memory from cudaMallocHost is real and labelled p1, p2, ...; a
// registered host buffer is labelled r1, r2, ... from its registration on.
// With a log, a host-to-device copy reads the whole host buffer and logs
// whether it holds the staging pattern (byte i = i mod 256).
// The script is read once, and without a log a call does no work of the C
// library's, so that instruction counts of the tool exclude the stand-in.
#include <cuda_runtime_api.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct CUevent_st {
  int id;  // cppcheck-suppress unusedStructMember ; read through cudaEvent_t
};

namespace {

enum Op {
  kGetDeviceProperties, kDeviceGetAttribute, kSetDevice, kDeviceReset, kEventCreate,
  kEventRecord, kEventElapsedTime, kEventDestroy, kMalloc, kFree, kMemcpy, kMemset,
  kDeviceSynchronize, kRuntimeGetVersion, kDriverGetVersion, kMemcpyAsync, kEventSynchronize,
  kMallocHost, kFreeHost, kHostRegister, kHostUnregister, kOpCount
};
const char *const kOpNames[kOpCount] = {
    "cudaGetDeviceProperties", "cudaDeviceGetAttribute", "cudaSetDevice", "cudaDeviceReset",
    "cudaEventCreate", "cudaEventRecord", "cudaEventElapsedTime", "cudaEventDestroy",
    "cudaMalloc", "cudaFree", "cudaMemcpy", "cudaMemset", "cudaDeviceSynchronize",
    "cudaRuntimeGetVersion", "cudaDriverGetVersion", "cudaMemcpyAsync", "cudaEventSynchronize",
    "cudaMallocHost", "cudaFreeHost", "cudaHostRegister", "cudaHostUnregister",
};

// A scripted fault in the data a copy or fill leaves.
struct DataFault {
  int op = -1;  // -1: none
  int kind = 0;
  long call = 0;
  size_t offset = 0;
  unsigned mask = 0;  // for a flip
};

struct ScriptedFailure {
  int op;
  long call;
  long status;  // cppcheck-suppress unusedStructMember ; read through find_if
};

struct Script {
  std::vector<ScriptedFailure> failures;
  std::vector<float> times;
  FILE *log = nullptr;
  long calls[kOpCount] = {};
  size_t elapsedCalls = 0;
  long delayMicroseconds = 0;
  size_t changeAt = 0;  // 0: no change
  std::string changeFile;
  std::string changeText;
  long copyDelayMicroseconds[cudaMemcpyDefault + 1] = {};  // per cudaMemcpyKind
  cudaError_t pending = cudaSuccess;  // what cudaGetLastError returns
  bool memory = false;  // device buffers hold real bytes
  DataFault flip;
  DataFault misdirect;
  long dataCalls[kOpCount][cudaMemcpyDefault + 1] = {};  // per function and kind
};

// "op:kind:n:offset[:mask]" into a fault; none when it does not parse.
DataFault readFault(const char *text, bool withMask) {
  DataFault fault;
  if (text == nullptr) {
    return fault;
  }
  for (int op = 0; op < kOpCount; op++) {
    const size_t length = strlen(kOpNames[op]);
    if (strncmp(text, kOpNames[op], length) != 0 || text[length] != ':') {
      continue;
    }
    char *end = nullptr;
    fault.kind = static_cast<int>(strtol(text + length + 1, &end, 10));
    fault.call = *end == ':' ? strtol(end + 1, &end, 10) : 0;
    fault.offset = *end == ':' ? strtoul(end + 1, &end, 10) : 0;
    fault.mask = withMask && *end == ':' ? static_cast<unsigned>(strtoul(end + 1, &end, 0)) : 0;
    if (fault.kind >= 0 && fault.kind <= cudaMemcpyDefault && fault.call > 0) {
      fault.op = op;
    }
  }
  return fault;
}

Script readScript() {
  Script result;
  for (const char *entry = getenv("STANDIN_FAIL"); entry != nullptr && *entry != '\0';) {
    for (int op = 0; op < kOpCount; op++) {
      const size_t length = strlen(kOpNames[op]);
      if (strncmp(entry, kOpNames[op], length) == 0 && entry[length] == ':') {
        char *end = nullptr;
        const long call = strtol(entry + length + 1, &end, 10);
        if (*end == '=') {
          result.failures.push_back({op, call, strtol(end + 1, nullptr, 10)});
        }
      }
    }
    entry = strchr(entry, ',');
    entry = entry != nullptr ? entry + 1 : nullptr;
  }
  for (const char *entry = getenv("STANDIN_TIMES"); entry != nullptr && *entry != '\0';) {
    char *end = nullptr;
    const float time = strtof(entry, &end);
    const long count = *end == '*' ? strtol(end + 1, nullptr, 10) : 1;
    result.times.insert(result.times.end(), static_cast<size_t>(std::max(count, 0L)), time);
    entry = strchr(entry, ',');
    entry = entry != nullptr ? entry + 1 : nullptr;
  }
  if (result.times.empty()) {
    result.times.push_back(1.0F);
  }
  const char *delay = getenv("STANDIN_DELAY_US");
  result.delayMicroseconds = delay != nullptr ? strtol(delay, nullptr, 10) : 0;
  const char *changeAt = getenv("STANDIN_CHANGE_AT");
  const char *changeFile = getenv("STANDIN_CHANGE_FILE");
  const char *changeText = getenv("STANDIN_CHANGE_TEXT");
  if (changeAt != nullptr && changeFile != nullptr && changeText != nullptr) {
    result.changeAt = strtoul(changeAt, nullptr, 10);
    const char *root = getenv("DEBUGFS_ROOT");
    result.changeFile = *changeFile != '/' && root != nullptr ? std::string(root) + "/" + changeFile : changeFile;
    result.changeText = changeText;
  }
  for (const char *entry = getenv("STANDIN_COPY_DELAY_US"); entry != nullptr && *entry != '\0';) {
    char *end = nullptr;
    const long kind = strtol(entry, &end, 10);
    if (*end == ':' && kind >= 0 && kind <= cudaMemcpyDefault) {
      result.copyDelayMicroseconds[kind] = strtol(end + 1, nullptr, 10);
    }
    entry = strchr(entry, ',');
    entry = entry != nullptr ? entry + 1 : nullptr;
  }
  const char *memory = getenv("STANDIN_MEMORY");
  result.memory = memory != nullptr && strcmp(memory, "1") == 0;
  result.flip = readFault(getenv("STANDIN_FLIP"), true);
  result.misdirect = readFault(getenv("STANDIN_MISDIRECT"), false);
  const char *path = getenv("STANDIN_LOG");
  result.log = path != nullptr ? fopen(path, "w") : nullptr;
  return result;
}

Script &script() {
  static Script instance = readScript();
  return instance;
}

// The call that raises a signal, and which.
struct ScriptedSignal {
  int op = -1;
  long call = 0;
  int signal = 0;
};

ScriptedSignal readSignal() {
  ScriptedSignal scripted;
  const char *text = getenv("STANDIN_SIGNAL");
  for (int op = 0; text != nullptr && op < kOpCount; op++) {
    const size_t length = strlen(kOpNames[op]);
    if (strncmp(text, kOpNames[op], length) == 0 && text[length] == ':') {
      char *end = nullptr;
      scripted.call = strtol(text + length + 1, &end, 10);
      scripted.signal = *end == ':' ? static_cast<int>(strtol(end + 1, nullptr, 10)) : 0;
      scripted.op = op;
    }
  }
  return scripted;
}

// Counts the call and returns the status STANDIN_FAIL scripts for it.
cudaError_t scriptedStatus(Op op) {
  const long call = ++script().calls[op];
  static const ScriptedSignal scripted = readSignal();
  if (scripted.op == op && scripted.call == call && scripted.signal > 0) {
    (void)raise(scripted.signal);
  }
  const std::vector<ScriptedFailure> &failures = script().failures;
  const auto failure = std::find_if(failures.begin(), failures.end(), [op, call](const ScriptedFailure &f) {
    return f.op == op && f.call == call;
  });
  if (failure == failures.end()) {
    return cudaSuccess;
  }
  script().pending = static_cast<cudaError_t>(failure->status);
  return script().pending;
}

void logCall(const char *format, ...) __attribute__((format(printf, 1, 2)));

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, like the lines it writes
void logCall(const char *format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(script().log, format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
  va_end(args);
  fputc('\n', script().log);
  fflush(script().log);
}

bool logging() {
  return script().log != nullptr;
}

const int kMaxObjects = 64;
char deviceTokens[kMaxObjects];
int deviceCount = 0;
CUevent_st events[kMaxObjects];
int eventCount = 0;

// Host buffers the runtime knows: pinned ones it allocated, registered ones.
struct HostBuffer {
  const void *start;
  std::string label;  // cppcheck-suppress unusedStructMember ; read through find_if
};
std::vector<HostBuffer> hostBuffers;
int pinnedCount = 0;
int registeredCount = 0;

// Device buffers that hold real bytes (STANDIN_MEMORY), by label.
std::vector<HostBuffer> deviceBuffers;

// The buffer of the list that starts at pointer, or the list's end.
std::vector<HostBuffer>::iterator findBuffer(std::vector<HostBuffer> *list, const void *pointer) {
  return std::find_if(list->begin(), list->end(),
                      [pointer](const HostBuffer &buffer) { return buffer.start == pointer; });
}

// "d<n>" for the n-th device allocation, the label of a pinned or
// registered host buffer, "host" for anything else.
std::string deviceLabel(const void *pointer) {
  const char *token = static_cast<const char *>(pointer);
  if (token >= deviceTokens && token < deviceTokens + kMaxObjects) {
    return "d" + std::to_string(token - deviceTokens + 1);
  }
  const auto device = findBuffer(&deviceBuffers, pointer);
  if (device != deviceBuffers.end()) {
    return device->label;
  }
  const auto known = findBuffer(&hostBuffers, pointer);
  return known != hostBuffers.end() ? known->label : "host";
}

// Forgets a buffer of the list; false when it was not there.
bool forgetBuffer(std::vector<HostBuffer> *list, const void *pointer) {
  const auto known = findBuffer(list, pointer);
  if (known == list->end()) {
    return false;
  }
  list->erase(known);
  return true;
}

// A free as the runtime's: logged, its scripted status answered and, when
// it succeeds, a buffer of the list (one that holds real memory) released.
cudaError_t freeBuffer(const char *call, Op op, std::vector<HostBuffer> *list, void *pointer) {
  if (logging()) {
    logCall("%s %s", call, deviceLabel(pointer).c_str());
  }
  const cudaError_t status = scriptedStatus(op);
  if (status == cudaSuccess && forgetBuffer(list, pointer)) {
    free(pointer);
  }
  return status;
}

// gcc turns a copying loop into a call of memcpy unless told not to.
#if defined(__GNUC__) && !defined(__clang__)
#define QUILLMERE_OWN_LOOP __attribute__((optimize("no-tree-loop-distribute-patterns")))
#else
#define QUILLMERE_OWN_LOOP
#endif

// Moves bytes a word at a time in the stand-in's own code, never through the
// C library's memcpy: the host work of the tool is counted without the
// stand-in's.
QUILLMERE_OWN_LOOP void moveBytes(unsigned char *dst, const unsigned char *src, size_t count) {
  size_t at = 0;
  for (; at + 8 <= count; at += 8) {
    uint64_t word = 0;
    __builtin_memcpy(&word, src + at, 8);
    __builtin_memcpy(dst + at, &word, 8);
  }
  for (; at < count; at++) {
    dst[at] = src[at];
  }
}

QUILLMERE_OWN_LOOP void fillBytes(unsigned char *dst, unsigned char value, size_t count) {
  for (size_t at = 0; at < count; at++) {
    dst[at] = value;
  }
}

// True for the call of op and kind that fault names.
bool faultHits(const DataFault &fault, int op, int kind, long call) {
  return fault.op == op && fault.kind == kind && fault.call == call;
}

// Moves count bytes as a copy (src not null) or a fill of value would, with
// the faults scripted for this call of op and kind; without STANDIN_MEMORY
// only counts the call.
void moveData(int op, int kind, void *dst, const void *src, int value, size_t count) {
  const long call = ++script().dataCalls[op][kind];
  if (!script().memory) {
    return;
  }
  unsigned char *to = static_cast<unsigned char *>(dst);
  const DataFault &misdirect = script().misdirect;
  const size_t word = misdirect.offset / 8 * 8;
  const bool misdirected = faultHits(misdirect, op, kind, call) && word + 16 <= count;
  unsigned char kept[8] = {};
  if (misdirected) {
    moveBytes(kept, to + word, 8);
  }
  if (src != nullptr) {
    moveBytes(to, static_cast<const unsigned char *>(src), count);
  } else {
    fillBytes(to, static_cast<unsigned char>(value), count);
  }
  if (misdirected) {
    moveBytes(to + word + 8, to + word, 8);
    moveBytes(to + word, kept, 8);
  }
  const DataFault &flip = script().flip;
  if (faultHits(flip, op, kind, call) && flip.offset < count) {
    to[flip.offset] = static_cast<unsigned char>(to[flip.offset] ^ flip.mask);
  }
}

// A copy of that kind takes as long as the script says.
void copyDelay(cudaMemcpyKind kind) {
  const int index = static_cast<int>(kind);
  if (index >= 0 && index <= cudaMemcpyDefault && script().copyDelayMicroseconds[index] > 0) {
    usleep(static_cast<useconds_t>(script().copyDelayMicroseconds[index]));
  }
}

// " pattern-ok", or where the staging pattern breaks, for a host-to-device
// copy; nothing for the other kinds.
std::string patternNote(const void *src, size_t count, cudaMemcpyKind kind);

int eventId(cudaEvent_t event) {
  return event != nullptr ? event->id : 0;
}

// Offset of the first byte that breaks the staging pattern, or count.
size_t firstPatternMismatch(const void *source, size_t count) {
  const unsigned char *bytes = static_cast<const unsigned char *>(source);
  unsigned char period[256];
  for (size_t i = 0; i < sizeof period; i++) {
    period[i] = static_cast<unsigned char>(i);
  }
  // Compared a period at a time, so gigabytes check quickly in any build.
  for (size_t block = 0; block < count; block += sizeof period) {
    const size_t length = std::min(count - block, sizeof period);
    if (memcmp(bytes + block, period, length) != 0) {
      size_t i = block;
      while (bytes[i] == static_cast<unsigned char>(i & 0xff)) {
        i++;
      }
      return i;
    }
  }
  return count;
}

std::string patternNote(const void *src, size_t count, cudaMemcpyKind kind) {
  if (kind != cudaMemcpyHostToDevice) {
    return "";
  }
  const size_t mismatch = firstPatternMismatch(src, count);
  return mismatch == count ? " pattern-ok" : " pattern-bad-at-" + std::to_string(mismatch);
}

struct KnownError {
  cudaError_t status;
  const char *name;
  const char *message;
};
const KnownError knownErrors[] = {
    {cudaSuccess, "cudaSuccess", "no error"},
    {cudaErrorInvalidValue, "cudaErrorInvalidValue", "invalid argument"},
    {cudaErrorMemoryAllocation, "cudaErrorMemoryAllocation", "out of memory"},
    {cudaErrorInsufficientDriver, "cudaErrorInsufficientDriver",
     "CUDA driver version is insufficient for CUDA runtime version"},
    {cudaErrorNoDevice, "cudaErrorNoDevice", "no CUDA-capable device is detected"},
    {cudaErrorInvalidResourceHandle, "cudaErrorInvalidResourceHandle", "invalid resource handle"},
    {cudaErrorIllegalAddress, "cudaErrorIllegalAddress", "an illegal memory access was encountered"},
    {cudaErrorNotSupported, "cudaErrorNotSupported", "operation not supported"},
    {cudaErrorHostMemoryAlreadyRegistered, "cudaErrorHostMemoryAlreadyRegistered",
     "part or all of the requested memory range is already mapped"},
    {cudaErrorUnknown, "cudaErrorUnknown", "unknown error"},
};

// An integer setting of the script, or fallback when it is not set.
int scriptedInt(const char *name, int fallback) {
  const char *text = getenv(name);
  return text != nullptr ? static_cast<int>(strtol(text, nullptr, 10)) : fallback;
}

const KnownError *findError(cudaError_t status) {
  const KnownError *end = knownErrors + sizeof knownErrors / sizeof knownErrors[0];
  const KnownError *found =
      std::find_if(knownErrors, end, [status](const KnownError &known) { return known.status == status; });
  return found != end ? found : nullptr;
}

// A version query: logged, scripted, and answered from the setting (the
// header's version without it).
cudaError_t scriptedVersion(Op op, const char *setting, int *version) {
  if (logging()) {
    logCall("%s", kOpNames[op]);
  }
  const cudaError_t status = scriptedStatus(op);
  if (status == cudaSuccess) {
    *version = scriptedInt(setting, CUDART_VERSION);
  }
  return status;
}

}  // namespace

extern "C" {

const char *cudaGetErrorName(cudaError_t error) {
  const KnownError *known = findError(error);
  return known != nullptr ? known->name : "cudaErrorUnknown";
}

const char *cudaGetErrorString(cudaError_t error) {
  const KnownError *known = findError(error);
  return known != nullptr ? known->message : "unrecognized error code";
}

cudaError_t cudaGetDeviceProperties(cudaDeviceProp *prop, int device) {
  if (logging()) {
    logCall("cudaGetDeviceProperties %d", device);
  }
  const cudaError_t status = scriptedStatus(kGetDeviceProperties);
  if (status == cudaSuccess) {
    const char *name = getenv("STANDIN_NAME");
    name = name != nullptr ? name : "Stand-in GPU";
    // A name as long as the field fills it with no terminator, as a runtime may.
    const size_t length = strlen(name);
    memcpy(prop->name, name, std::min(length + 1, sizeof prop->name));
    const char *uuid = getenv("STANDIN_UUID");
    for (size_t i = 0; i < sizeof prop->uuid.bytes; i++) {
      unsigned byte = static_cast<unsigned>(i);
      if (uuid != nullptr && strlen(uuid) >= 2 * (i + 1)) {
        const char digits[3] = {uuid[2 * i], uuid[2 * i + 1], '\0'};
        byte = static_cast<unsigned>(strtoul(digits, nullptr, 16));
      }
      prop->uuid.bytes[i] = static_cast<char>(byte);
    }
    prop->integrated = scriptedInt("STANDIN_INTEGRATED", 0);
    prop->l2CacheSize = scriptedInt("STANDIN_L2_CACHE", 1048576);
  }
  return status;
}

cudaError_t cudaDeviceGetAttribute(int *value, cudaDeviceAttr attr, int device) {
  if (logging()) {
    logCall("cudaDeviceGetAttribute %d %d", static_cast<int>(attr), device);
  }
  const cudaError_t status = scriptedStatus(kDeviceGetAttribute);
  if (status == cudaSuccess) {
    switch (attr) {
      case cudaDevAttrComputeMode: *value = scriptedInt("STANDIN_COMPUTE_MODE", 0); break;
      case cudaDevAttrGlobalMemoryBusWidth: *value = scriptedInt("STANDIN_BUS_WIDTH", 256); break;
      case cudaDevAttrMemoryClockRate: *value = scriptedInt("STANDIN_MEMORY_CLOCK", 3200000); break;
      case cudaDevAttrIntegrated: *value = scriptedInt("STANDIN_INTEGRATED", 0); break;
      case cudaDevAttrCanMapHostMemory: *value = scriptedInt("STANDIN_CAN_MAP_HOST", 1); break;
      case cudaDevAttrPageableMemoryAccess: *value = scriptedInt("STANDIN_PAGEABLE_ACCESS", 0); break;
      case cudaDevAttrHostRegisterSupported: *value = scriptedInt("STANDIN_HOST_REGISTER", 1); break;
      default: *value = 0;
    }
  }
  return status;
}

cudaError_t cudaRuntimeGetVersion(int *runtimeVersion) {
  return scriptedVersion(kRuntimeGetVersion, "STANDIN_RUNTIME_VERSION", runtimeVersion);
}

cudaError_t cudaDriverGetVersion(int *driverVersion) {
  return scriptedVersion(kDriverGetVersion, "STANDIN_DRIVER_VERSION", driverVersion);
}

cudaError_t cudaSetDevice(int device) {
  if (logging()) {
    logCall("cudaSetDevice %d", device);
  }
  return scriptedStatus(kSetDevice);
}

cudaError_t cudaDeviceReset(void) {
  if (logging()) {
    logCall("cudaDeviceReset");
  }
  return scriptedStatus(kDeviceReset);
}

cudaError_t cudaEventCreate(cudaEvent_t *event) {
  const cudaError_t status = scriptedStatus(kEventCreate);
  if (status != cudaSuccess || eventCount == kMaxObjects) {
    return status != cudaSuccess ? status : cudaErrorMemoryAllocation;
  }
  *event = &events[eventCount];
  (*event)->id = ++eventCount;
  if (logging()) {
    logCall("cudaEventCreate e%d", eventCount);
  }
  return status;
}

cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream) {
  if (logging()) {
    logCall("cudaEventRecord e%d %s", eventId(event), stream == nullptr ? "0" : "stream");
  }
  return scriptedStatus(kEventRecord);
}

cudaError_t cudaEventElapsedTime(float *ms, cudaEvent_t start, cudaEvent_t end) {
  if (logging()) {
    logCall("cudaEventElapsedTime e%d e%d", eventId(start), eventId(end));
  }
  const cudaError_t status = scriptedStatus(kEventElapsedTime);
  if (status == cudaSuccess) {
    // The n-th call takes the n-th listed time; past the list, the last one.
    const std::vector<float> &times = script().times;
    *ms = times[std::min(script().elapsedCalls++, times.size() - 1)];
    if (script().elapsedCalls == script().changeAt) {
      FILE *file = fopen(script().changeFile.c_str(), "w");
      if (file != nullptr) {
        fputs(script().changeText.c_str(), file);
        fclose(file);
      }
    }
  }
  return status;
}

cudaError_t cudaEventDestroy(cudaEvent_t event) {
  if (logging()) {
    logCall("cudaEventDestroy e%d", eventId(event));
  }
  return scriptedStatus(kEventDestroy);
}

cudaError_t cudaMalloc(void **devPtr, size_t size) {
  const cudaError_t status = scriptedStatus(kMalloc);
  if (status != cudaSuccess || deviceCount == kMaxObjects) {
    return status != cudaSuccess ? status : cudaErrorMemoryAllocation;
  }
  if (script().memory) {
    *devPtr = malloc(size);
    if (*devPtr == nullptr) {
      return cudaErrorMemoryAllocation;
    }
    deviceBuffers.push_back({*devPtr, "d" + std::to_string(++deviceCount)});
  } else {
    *devPtr = &deviceTokens[deviceCount++];
  }
  if (logging()) {
    logCall("cudaMalloc %s %zu", deviceLabel(*devPtr).c_str(), size);
  }
  return status;
}

cudaError_t cudaFree(void *devPtr) {
  return freeBuffer("cudaFree", kFree, &deviceBuffers, devPtr);
}

cudaError_t cudaMemcpy(void *dst, const void *src, size_t count, cudaMemcpyKind kind) {
  if (logging()) {
    logCall("cudaMemcpy %s %s %zu %d%s", deviceLabel(dst).c_str(), deviceLabel(src).c_str(), count,
            static_cast<int>(kind), patternNote(src, count, kind).c_str());
  }
  copyDelay(kind);
  moveData(kMemcpy, static_cast<int>(kind), dst, src, 0, count);
  return scriptedStatus(kMemcpy);
}

cudaError_t cudaMemcpyAsync(void *dst, const void *src, size_t count, cudaMemcpyKind kind, cudaStream_t stream) {
  if (logging()) {
    logCall("cudaMemcpyAsync %s %s %zu %d %s%s", deviceLabel(dst).c_str(), deviceLabel(src).c_str(), count,
            static_cast<int>(kind), stream == nullptr ? "0" : "stream", patternNote(src, count, kind).c_str());
  }
  copyDelay(kind);
  moveData(kMemcpyAsync, static_cast<int>(kind), dst, src, 0, count);
  return scriptedStatus(kMemcpyAsync);
}

cudaError_t cudaMallocHost(void **ptr, size_t size) {
  const cudaError_t status = scriptedStatus(kMallocHost);
  if (status != cudaSuccess) {
    return status;
  }
  *ptr = malloc(size);
  if (*ptr == nullptr) {
    return cudaErrorMemoryAllocation;
  }
  hostBuffers.push_back({*ptr, "p" + std::to_string(++pinnedCount)});
  if (logging()) {
    logCall("cudaMallocHost %s %zu", deviceLabel(*ptr).c_str(), size);
  }
  return status;
}

cudaError_t cudaFreeHost(void *ptr) {
  return freeBuffer("cudaFreeHost", kFreeHost, &hostBuffers, ptr);
}

cudaError_t cudaHostRegister(void *ptr, size_t size, unsigned int flags) {
  const cudaError_t status = scriptedStatus(kHostRegister);
  if (status == cudaSuccess) {
    hostBuffers.push_back({ptr, "r" + std::to_string(++registeredCount)});
  }
  if (logging()) {
    logCall("cudaHostRegister %s %zu %u", deviceLabel(ptr).c_str(), size, flags);
  }
  return status;
}

cudaError_t cudaHostUnregister(void *ptr) {
  if (logging()) {
    logCall("cudaHostUnregister %s", deviceLabel(ptr).c_str());
  }
  const cudaError_t status = scriptedStatus(kHostUnregister);
  if (status == cudaSuccess) {
    forgetBuffer(&hostBuffers, ptr);
  }
  return status;
}

cudaError_t cudaGetLastError(void) {
  const cudaError_t status = script().pending;
  script().pending = cudaSuccess;
  if (logging()) {
    logCall("cudaGetLastError %d", static_cast<int>(status));
  }
  return status;
}

cudaError_t cudaEventSynchronize(cudaEvent_t event) {
  if (logging()) {
    logCall("cudaEventSynchronize e%d", eventId(event));
  }
  if (script().delayMicroseconds > 0) {
    usleep(static_cast<useconds_t>(script().delayMicroseconds));
  }
  return scriptedStatus(kEventSynchronize);
}

cudaError_t cudaMemset(void *devPtr, int value, size_t count) {
  if (logging()) {
    logCall("cudaMemset %s %d %zu", deviceLabel(devPtr).c_str(), value, count);
  }
  moveData(kMemset, 0, devPtr, nullptr, value, count);
  return scriptedStatus(kMemset);
}

cudaError_t cudaDeviceSynchronize(void) {
  if (logging()) {
    logCall("cudaDeviceSynchronize");
  }
  if (script().delayMicroseconds > 0) {
    usleep(static_cast<useconds_t>(script().delayMicroseconds));
  }
  return scriptedStatus(kDeviceSynchronize);
}

}  // extern "C"
