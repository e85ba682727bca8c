// What a test sees of a fake BI plug-in: the calls it received, in order, and the answers it
// is scripted to give. The fake exports FakeControlBlock() returning its one block.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

struct FakeProgress {
  unsigned message;
  unsigned long wparam;
  long lparam;
};

struct FakeControl {
  std::mutex lock;
  // Every position called on the SN object, as "position(arg,arg,...)"; strings verbatim.
  std::vector<std::string> calls;
  // Scripted results by position; unscripted positions answer success by their rule.
  std::map<int, int> results;
  // Texts that read positions hand back instead of what was written last.
  std::map<int, std::string> fills;
  // Read positions that fill their whole buffer with 'X' and leave no terminator.
  std::map<int, bool> overfill;
  // Read positions that write nothing at all.
  std::map<int, bool> writeNothing;
  // What the write positions wrote last: the read positions hand it back.
  std::string lastWritten;
  std::string settingsFile;          // what position 14 returns; empty means null
  bool createReturnsNull = false;
  bool loadReturnsNull = false;
  int createCalls = 0;
  int loadCalls = 0;
  int rootInitialiseValue = 0;
  void *window = nullptr;
  // Messages posted to the progress window from a thread of the plug-in when a download starts.
  std::vector<FakeProgress> progress;

  void Clear() {
    std::lock_guard<std::mutex> hold(lock);
    calls.clear();
    results.clear();
    fills.clear();
    overfill.clear();
    writeNothing.clear();
    lastWritten.clear();
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> hold(lock);
    return calls;
  }
};

extern "C" typedef FakeControl *(*FakeControlBlockFn)();
