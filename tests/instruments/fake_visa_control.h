// Controls of the fake VISA that the instrument tests load next to the real query path:
// the test keeps the library open, so what it sets survives the query's own load and free.
#pragma once

extern "C" {
typedef void (*FakeVisaResetFn)();
// The instrument at resource answers "*IDN?" with answer (a line end is appended).
typedef void (*FakeVisaAnswerFn)(const char *resource, const char *answer);
// viFindRsrc lists this description after the answering resources.
typedef void (*FakeVisaListFn)(const char *description);
// From now on function (e.g. "viClear") returns status.
typedef void (*FakeVisaFailFn)(const char *function, int status);
// Calls so far, one per line: "viOpen GPIB0::14::0::INSTR", "viQueryf *IDN?\n %t", ...
typedef const char *(*FakeVisaCallsFn)();
// Sessions opened and not yet closed (resource managers, instruments and find lists).
typedef int (*FakeVisaOpenSessionsFn)();
}
