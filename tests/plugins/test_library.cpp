// A test library that loads and answers 0: enough for a station to come up.
extern "C" __attribute__((visibility("default"))) int Init_TestInterface(void *) { return 0; }
