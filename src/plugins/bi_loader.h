// What the four BI plug-in loaders share: loading the plug-in once per process, creating its
// root object, reporting each failure once, and releasing everything at library unload.
#pragma once

#include "platform/dynamic_library.h"
#include "platform/module_lifetime.h"
#include "plugins/plugin_object.h"

#include <mutex>
#include <new>

namespace qrx {

class CBILoader {
public:
  virtual ~CBILoader();
  CBILoader(const CBILoader &) = delete;
  CBILoader &operator=(const CBILoader &) = delete;

  platform::ModuleHandle Module() const { return module; }
  void *RootObject() const { return rootObject.get(); }

protected:
  struct Texts {
    const char *path;          // Windows-form relative path of the plug-in
    const char *loadFailure;   // shown with the caption "Error"
    const char *createFailure; // application message box when "Create" answers null
  };
  // Loads the plug-in and creates its root object; every failure shows its message box and
  // leaves the remaining fields null.
  explicit CBILoader(const Texts &texts);

  platform::ModuleHandle module = nullptr;
  PluginObject rootObject;
};

// The one instance of a loader class and its lock. The instance is created on the first
// GetInstance and deleted at library unload, before the lock goes (the lock is a
// trivially destructible std::mutex, the reaper a function-local static registered only
// after the plug-in was loaded, so it runs before any exit-time destructor of the plug-in).
// Unloading never waits: when the process is ending, or another thread still holds the lock
// (a load-failure message box open on it), the instance and its plug-in are left as they are.
template <typename Loader> class LoaderInstance {
public:
  static Loader *Get() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!instance_) {
      instance_ = new (std::nothrow) Loader();
      if (instance_) static Reaper reaper;
    }
    return instance_;
  }
  static std::mutex &Lock() { return lock_; }
  // The instance if one was created, without creating it.
  static Loader *IfCreated() {
    std::lock_guard<std::mutex> hold(lock_);
    return instance_;
  }
  // Releases the instance as library unload does; the next Get loads the plug-in again.
  static void Destroy() {
    Loader *doomed;
    {
      std::lock_guard<std::mutex> hold(lock_);
      doomed = instance_;
      instance_ = nullptr;
    }
    delete doomed;
  }

private:
  struct Reaper {
    ~Reaper() {
      if (platform::ProcessEnding()) return;
      std::unique_lock<std::mutex> hold(lock_, std::try_to_lock);
      if (!hold) return;
      Loader *doomed = instance_;
      instance_ = nullptr;
      hold.unlock();
      delete doomed;
    }
  };
  static inline std::mutex lock_;
  static inline Loader *instance_ = nullptr;
};

} // namespace qrx
