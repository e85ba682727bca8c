// The path a test library or plug-in was loaded from, as the system reports it: one build is
// deployed under several names, and what it does may depend on which one answered.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

// Of internal linkage: each library must find its own copy, never another library's.
namespace {
std::string OwnFileName() {
#ifdef _WIN32
  HMODULE self = nullptr;
  char name[MAX_PATH] = {};
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&OwnFileName), &self))
    GetModuleFileNameA(self, name, sizeof name);
  return name;
#else
  Dl_info info{};
  return dladdr(reinterpret_cast<void *>(&OwnFileName), &info) && info.dli_fname ? info.dli_fname
                                                                                 : "";
#endif
}
} // namespace
