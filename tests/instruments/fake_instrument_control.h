// Controls of the fake instrument library; the test opens each deployed copy itself and
// reads what the interface library did with it.
#pragma once

extern "C" {
typedef void (*FakeInstrumentResetFn)();
// Status the position-9 operation answers from now on.
typedef void (*FakeInstrumentSetStatusFn)(int status);
// Type code of the last GetQRXCalInstrInterface, -1 before any.
typedef int (*FakeInstrumentLastTypeCodeFn)();
// Objects handed out and not yet released.
typedef int (*FakeInstrumentLiveFn)();
// Calls so far, one per line: "status", "call1 1 2 3", "release".
typedef const char *(*FakeInstrumentCallsFn)();
}
