#include <cstdio>
#include <cstdlib>

#include "command_line/command_line.h"
#include "command_line/settings.h"
#include "console/progress.h"
#include "console/stdout_guard.h"
#include "console/stop_signals.h"
#include "cpu_and_gpu/cpu_and_gpu_phase.h"
#include "gpu/check_gpu_call.h"
#include "record/run_record.h"
#include "reports/machine_report.h"
#include "run/run_program.h"

namespace {

// Before a failed call's error line: the CPU copies' threads stop, the
// progress line leaves the terminal, and a machine report records the
// failure.
void beforeGpuErrorLine(cudaError_t status, const char *callText, int callSite) {
  stopCpuCopies();
  clearProgress();
  if (!textReport()) {
    recordCudaError(kErrorCuda, static_cast<int>(status), cudaGetErrorString(status), gpuErrorName(status),
                    callText, callSite);
  }
}

}  // namespace

int main(int argc, char **argv) {
  // Registered first, so that it runs last: a run stopped by a signal ends
  // by it once its report is out.
  (void)atexit(raiseStopSignalAtExit);
  guardStandardOutput();
  observeGpuFailures(beforeGpuErrorLine);
  const CommandLine line = readCommandLine(argc, argv);
  const int format = requestedReportFormat(line);
  if (format != kTextReport) {
    startMachineReport(format);
  }
  if (textReport()) {
    printf("Memory Bandwidth Test\n");
  }

  const int status = runProgram(line);
  if (status < 0) {
    CHECK_GPU_CALL(44, cudaSetDevice(0));
  }
  if (status != kRunOk && textReport()) {
    printf("Result = FAIL\n");
  }
  // A busy board is a temporary failure: try again later.
  if (status == kRunBusy) {
    exit(kRunBusy);
  }
  exit(status != kRunOk ? EXIT_FAILURE : EXIT_SUCCESS);
}
