#include "console/stop_signals.h"


volatile sig_atomic_t stopSignal = 0;

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void restoreDefault(int signal) {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  (void)sigaction(signal, &action, nullptr);
}

void onStopSignal(int signal) {
  if (stopSignal != 0) {
    // The run is stopping already: this one ends it now. The same signal is
    // blocked while its handler runs, and is delivered as it returns.
    restoreDefault(signal);
    (void)raise(signal);
    return;
  }
  stopSignal = signal;
}

}  // namespace

void watchStopSignals() {
  for (const int signal : kStopSignals) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // The runtime's own system calls go on after the handler; the wait for
    // the next reading ends at it all the same (a sleep is never restarted).
    action.sa_flags = SA_RESTART;
    (void)sigaction(signal, &action, nullptr);
  }
}

const char *stopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
  }
}

void raiseStopSignalAtExit() {
  const int signal = stopSignal;
  if (signal == 0) {
    return;
  }
  restoreDefault(signal);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, signal);
  (void)sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
  (void)raise(signal);
}
