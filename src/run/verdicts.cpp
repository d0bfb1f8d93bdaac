#include "run/verdicts.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "board/decimal.h"
#include "board/gpu_cache.h"
#include "board/memory_peak.h"
#include "console/end_run.h"
#include "record/run_record.h"
#include "timing/rate.h"

namespace {

int fail(int kind, const std::string &message) {
  reportRunError(kind, message);
  return kRunVerdictFailed;
}

// Fails a Total that, as printed, is below minTotal or is not a number at all.
int checkMinimum(long long minTotal) {
  const double total = runRecord().copy.figure;
  const std::string printed = printedFigure(total);
  if (std::isfinite(total) && printedValue(total) >= static_cast<double>(minTotal)) {
    return kRunOk;
  }
  return fail(kErrorBelowMinimum, "Memcpy total " + printed + " MB/s is below the expected minimum of " +
                                      std::to_string(minTotal) + " MB/s");
}

// "the <S> MiB ... GPU's <L> MiB L2 cache" of a cache-sized run.
std::string fitsCache(const char *what) {
  const RunRecord &record = runRecord();
  return "the " + std::to_string(record.memSize >> 20) + " MiB " + what + " the GPU's " +
         cacheMiBText(record.l2CacheBytes.value) + " MiB L2 cache";
}

// "use --size=<M> or more"
std::string sizePastCache() {
  return "use --size=" + std::to_string(sizePastCacheMiB(runRecord().l2CacheBytes.value)) + " or more";
}

// Fails a Total below minPercent of the memory's peak, or a peak unknown;
// a copy that fits the L2 says nothing of the memory and fails too.
int checkEfficiency(int minPercent) {
  const RunRecord &record = runRecord();
  if (record.cacheSized.known && record.cacheSized.value) {
    return fail(kErrorCacheSized,
                fitsCache("copy fits") + ", so its efficiency says nothing of the memory; " + sizePastCache());
  }
  const Peak peak = runPeak(record);
  std::string percent;
  const int verdict = judgeEfficiency(record.copy.figure, peak, minPercent, &percent);
  if (verdict == kEfficiencyMet) {
    return kRunOk;
  }
  if (verdict == kEfficiencyUnknownPeak) {
    return fail(kErrorUnknownPeak,
                "the memory's peak is unknown (no memory clock or bus width), so --min-efficiency cannot be checked");
  }
  return fail(kErrorBelowEfficiency, "Memcpy total " + printedFigure(record.copy.figure) + " MB/s is " + percent +
                                         " % of the memory's peak of " + printedFigure(peak.megabytesPerSecond) +
                                         " MB/s, below the expected minimum of " + std::to_string(minPercent) + " %");
}

// Fails a sustained copy whose Total fell more than maxPercent below its highest interval.
int checkDrop(int maxPercent) {
  const SustainedSummary summary = summarizeSustained(runRecord().sustained);
  if (!dropTooLarge(summary, maxPercent)) {
    return kRunOk;
  }
  char message[512];
  snprintf(message, sizeof message,
           "sustained Memcpy total fell to %.1f MB/s, %s %% below its highest of %.1f MB/s, more than the allowed %d %%",
           summary.lowest, thousandthsAsPercent(summary.dropThousandths).c_str(), summary.highest, maxPercent);
  return fail(kErrorBandwidthDrop, message);
}

}  // namespace

void noteCacheSized() {
  const RunRecord &record = runRecord();
  if (record.cacheSized.known && record.cacheSized.value && record.fill.done) {
    reportNote(fitsCache("buffers fit") + ": these figures are the cache's; " + sizePastCache() + " for the memory's");
  }
}

int judgeVerdicts() {
  const RunRecord &record = runRecord();
  int status = record.minTotal.known ? checkMinimum(record.minTotal.value) : kRunOk;
  if (status == kRunOk && record.minEfficiency.known) {
    status = checkEfficiency(record.minEfficiency.value);
  }
  if (status == kRunOk && record.sustained.maxDropPercent.known) {
    status = checkDrop(record.sustained.maxDropPercent.value);
  }
  return status;
}
