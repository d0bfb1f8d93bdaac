#ifndef QUILLMERE_MACHINE_REPORT_H
#define QUILLMERE_MACHINE_REPORT_H

#include <string>

#include "record/run_record.h"

// The copy's Total over the run's peak; not a number without a peak or
// without the copy's figure.
double runEfficiency(const RunRecord &record, const Peak &peak);

// The machine reports' name of an error kind ("option", "cuda", ...).
const char *errorKindName(int kind);

// "GPU-" and the 16 bytes as 8-4-4-4-12 lower-case hex digits.
std::string deviceUuid(const unsigned char *uuid);

// The run's JSON report: one object and a newline.
std::string renderJsonReport(const RunRecord &record, const std::string &host,
                             const std::string &timestamp);

// The run's report in the Prometheus text format (0.0.4); endSeconds is
// when the run ended, in Unix seconds.
std::string renderPrometheusReport(const RunRecord &record, long long endSeconds);

// Switches the run to the given machine format: the text report is no
// longer printed, and the report is written to standard output once, as the
// process exits, however it exits.
// Call once, after guardStandardOutput.
void startMachineReport(int format);

#endif
