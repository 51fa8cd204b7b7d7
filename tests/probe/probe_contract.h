#ifndef QUENLARK_TESTS_PROBE_CONTRACT_H
#define QUENLARK_TESTS_PROBE_CONTRACT_H

// How a test and the probe it starts through the launcher meet, in both test
// sets: the test names a report file and a pair of events in the environment,
// which the probe inherits by way of the launcher; the probe writes its
// report, signals "<events>-ready" and stays until "<events>-release".
#include <windows.h>

static const wchar_t ProbeReportVariable[] = L"QUENLARK_PROBE_REPORT";
static const wchar_t ProbeEventsVariable[] = L"QUENLARK_PROBE_EVENTS";
static const wchar_t ProbeReadySuffix[] = L"-ready";
static const wchar_t ProbeReleaseSuffix[] = L"-release";
// For the probe of the GoogleTest set alone: a variable it reports as it
// inherited it, and, set to anything, that it first raises Ctrl+C and
// Ctrl+Break on its console and reports which reached its handler.
static const wchar_t ProbeVariableVariable[] = L"QUENLARK_PROBE_VARIABLE";
static const wchar_t ProbeControlEventsVariable[] = L"QUENLARK_PROBE_CONTROL_EVENTS";

// The longest either side waits for the other: the test for the probe's
// report, the probe for its release, the test for the probe's end. A probe
// in Debian's arm64 Wine under qemu-aarch64 takes some seconds to start, and
// seconds more on a loaded machine; a probe that is not there by then hangs.
static const DWORD ProbeTimeLimit = 20000;

#endif
