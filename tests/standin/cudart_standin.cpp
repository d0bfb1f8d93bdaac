// A stand-in for the CUDA runtime, loaded in place of libcudart.so.13 so the
// tool can be run without a GPU. Each run is scripted through the environment:
//   STANDIN_NAME          device name (default "Stand-in GPU")
//   STANDIN_COMPUTE_MODE  compute mode of device 0 (default 0)
//   STANDIN_FAIL          "op:n=status,...": the n-th call of op returns status
//   STANDIN_TIMES         "ms,ms,...": successive elapsed times; the last repeats
//   STANDIN_LOG           file that gets one line per call, with its arguments
// Device memory is never touched: device pointers are labels (d1, d2, ...).
// A host-to-device copy reads the whole host buffer and logs whether it holds
// the staging pattern (byte i = i mod 256).
#include <cuda_runtime_api.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct CUevent_st {
  int id;  // cppcheck-suppress unusedStructMember ; read through cudaEvent_t
};

namespace {

const int kMaxObjects = 64;
char deviceTokens[kMaxObjects];
int deviceCount = 0;
CUevent_st events[kMaxObjects];
int eventCount = 0;
int elapsedCalls = 0;

struct CallCount {
  const char *op;
  int calls;
};
CallCount callCounts[] = {
    {"cudaGetDeviceProperties", 0}, {"cudaDeviceGetAttribute", 0}, {"cudaSetDevice", 0},
    {"cudaDeviceReset", 0},         {"cudaEventCreate", 0},        {"cudaEventRecord", 0},
    {"cudaEventElapsedTime", 0},    {"cudaEventDestroy", 0},       {"cudaMalloc", 0},
    {"cudaFree", 0},                {"cudaMemcpy", 0},             {"cudaMemset", 0},
    {"cudaDeviceSynchronize", 0},
};

void logCall(const char *format, ...) __attribute__((format(printf, 1, 2)));

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, like the lines it writes
void logCall(const char *format, ...) {
  static FILE *log = nullptr;
  if (log == nullptr) {
    const char *path = getenv("STANDIN_LOG");
    if (path == nullptr || (log = fopen(path, "w")) == nullptr) {
      return;
    }
  }
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
  va_end(args);
  fputc('\n', log);
  fflush(log);
}

// Counts the call and returns the status STANDIN_FAIL scripts for it.
cudaError_t scriptedStatus(const char *op) {
  int calls = 0;
  for (CallCount &count : callCounts) {
    if (strcmp(count.op, op) == 0) {
      calls = ++count.calls;
    }
  }
  const char *script = getenv("STANDIN_FAIL");
  const size_t opLength = strlen(op);
  for (const char *entry = script; entry != nullptr && *entry != '\0';) {
    if (strncmp(entry, op, opLength) == 0 && entry[opLength] == ':') {
      char *end = nullptr;
      const long n = strtol(entry + opLength + 1, &end, 10);
      if (*end == '=' && n == calls) {
        return static_cast<cudaError_t>(strtol(end + 1, nullptr, 10));
      }
    }
    entry = strchr(entry, ',');
    entry = entry != nullptr ? entry + 1 : nullptr;
  }
  return cudaSuccess;
}

const char *deviceLabel(const void *pointer) {
  static char labels[2][16];
  static int next = 0;
  char *label = labels[next++ % 2];
  const char *token = static_cast<const char *>(pointer);
  if (token >= deviceTokens && token < deviceTokens + kMaxObjects) {
    snprintf(label, sizeof labels[0], "d%d", static_cast<int>(token - deviceTokens) + 1);
  } else {
    snprintf(label, sizeof labels[0], "host");
  }
  return label;
}

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
    const size_t length = count - block < sizeof period ? count - block : sizeof period;
    if (memcmp(bytes + block, period, length) != 0) {
      for (size_t i = block;; i++) {
        if (bytes[i] != static_cast<unsigned char>(i & 0xff)) {
          return i;
        }
      }
    }
  }
  return count;
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
    {cudaErrorIllegalAddress, "cudaErrorIllegalAddress",
     "an illegal memory access was encountered"},
    {cudaErrorUnknown, "cudaErrorUnknown", "unknown error"},
};

const KnownError *findError(cudaError_t status) {
  const KnownError *end = knownErrors + sizeof knownErrors / sizeof knownErrors[0];
  const KnownError *found =
      std::find_if(knownErrors, end, [status](const KnownError &known) { return known.status == status; });
  return found != end ? found : nullptr;
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
  logCall("cudaGetDeviceProperties %d", device);
  const cudaError_t status = scriptedStatus("cudaGetDeviceProperties");
  if (status == cudaSuccess) {
    const char *name = getenv("STANDIN_NAME");
    snprintf(prop->name, sizeof prop->name, "%s", name != nullptr ? name : "Stand-in GPU");
  }
  return status;
}

cudaError_t cudaDeviceGetAttribute(int *value, cudaDeviceAttr attr, int device) {
  logCall("cudaDeviceGetAttribute %d %d", static_cast<int>(attr), device);
  const cudaError_t status = scriptedStatus("cudaDeviceGetAttribute");
  if (status == cudaSuccess) {
    const char *mode = getenv("STANDIN_COMPUTE_MODE");
    *value = attr == cudaDevAttrComputeMode && mode != nullptr ? static_cast<int>(strtol(mode, nullptr, 10)) : 0;
  }
  return status;
}

cudaError_t cudaSetDevice(int device) {
  logCall("cudaSetDevice %d", device);
  return scriptedStatus("cudaSetDevice");
}

cudaError_t cudaDeviceReset(void) {
  logCall("cudaDeviceReset");
  return scriptedStatus("cudaDeviceReset");
}

cudaError_t cudaEventCreate(cudaEvent_t *event) {
  const cudaError_t status = scriptedStatus("cudaEventCreate");
  if (status == cudaSuccess && eventCount == kMaxObjects) {
    return cudaErrorMemoryAllocation;
  }
  if (status == cudaSuccess) {
    *event = &events[eventCount];
    (*event)->id = ++eventCount;
  }
  logCall("cudaEventCreate e%d", status == cudaSuccess ? eventCount : 0);
  return status;
}

cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream) {
  logCall("cudaEventRecord e%d %s", eventId(event), stream == nullptr ? "0" : "stream");
  return scriptedStatus("cudaEventRecord");
}

cudaError_t cudaEventElapsedTime(float *ms, cudaEvent_t start, cudaEvent_t end) {
  logCall("cudaEventElapsedTime e%d e%d", eventId(start), eventId(end));
  const cudaError_t status = scriptedStatus("cudaEventElapsedTime");
  if (status != cudaSuccess) {
    return status;
  }
  // The n-th call takes the n-th listed time; past the list, the last one.
  const char *times = getenv("STANDIN_TIMES");
  float value = 1.0f;
  const char *entry = times;
  for (int i = 0; entry != nullptr && *entry != '\0' && i <= elapsedCalls; i++) {
    value = strtof(entry, nullptr);
    entry = strchr(entry, ',');
    entry = entry != nullptr ? entry + 1 : nullptr;
  }
  elapsedCalls++;
  *ms = value;
  return cudaSuccess;
}

cudaError_t cudaEventDestroy(cudaEvent_t event) {
  logCall("cudaEventDestroy e%d", eventId(event));
  return scriptedStatus("cudaEventDestroy");
}

cudaError_t cudaMalloc(void **devPtr, size_t size) {
  const cudaError_t status = scriptedStatus("cudaMalloc");
  if (status == cudaSuccess && deviceCount == kMaxObjects) {
    return cudaErrorMemoryAllocation;
  }
  if (status == cudaSuccess) {
    *devPtr = &deviceTokens[deviceCount++];
  }
  logCall("cudaMalloc %s %zu", status == cudaSuccess ? deviceLabel(*devPtr) : "-", size);
  return status;
}

cudaError_t cudaFree(void *devPtr) {
  logCall("cudaFree %s", deviceLabel(devPtr));
  return scriptedStatus("cudaFree");
}

cudaError_t cudaMemcpy(void *dst, const void *src, size_t count, cudaMemcpyKind kind) {
  if (kind == cudaMemcpyHostToDevice) {
    const size_t mismatch = firstPatternMismatch(src, count);
    if (mismatch == count) {
      logCall("cudaMemcpy %s %s %zu %d pattern-ok", deviceLabel(dst), deviceLabel(src), count,
              static_cast<int>(kind));
    } else {
      logCall("cudaMemcpy %s %s %zu %d pattern-bad-at-%zu", deviceLabel(dst), deviceLabel(src),
              count, static_cast<int>(kind), mismatch);
    }
  } else {
    logCall("cudaMemcpy %s %s %zu %d", deviceLabel(dst), deviceLabel(src), count,
            static_cast<int>(kind));
  }
  return scriptedStatus("cudaMemcpy");
}

cudaError_t cudaMemset(void *devPtr, int value, size_t count) {
  logCall("cudaMemset %s %d %zu", deviceLabel(devPtr), value, count);
  return scriptedStatus("cudaMemset");
}

cudaError_t cudaDeviceSynchronize(void) {
  logCall("cudaDeviceSynchronize");
  return scriptedStatus("cudaDeviceSynchronize");
}

}  // extern "C"
