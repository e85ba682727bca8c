// Message relay: a hidden message-only window with its own thread and message loop. Plug-ins
// post and send it window messages with PostMessageA and SendMessageA; the window procedure
// hands every WM_USER-based message to the handler, in the order the window receives them.
//
// The relay's thread runs the library's code, so it holds a reference on the library's module
// and ends through FreeLibraryAndExitThread: a host's FreeLibrary never unmaps the code under
// a running relay, and nothing waits for the thread while the loader lock is held (the
// library's unload can only begin once every relay thread has let go of the module).
#include "platform/message_relay.h"

#include "interface/export_macros.h"
#include "platform/module_lifetime.h"

#include <windows.h>

#include <future>
#include <string_view>

namespace qrx::platform {
namespace {
constexpr const char *kClassName = "QRXInterfaceMessageRelay";

// Posted after everything else: the relay's thread destroys the window and leaves its loop.
UINT StopMessage() {
  static const UINT message = ::RegisterWindowMessageA("QRXInterface.MessageRelay.Stop");
  return message;
}

LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The module whose code runs the relay: the library itself (or a test program linking it).
HMODULE OwnModule() {
  HMODULE self = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&RelayProc), &self);
  return self;
}

// The window class belongs to the library's module and goes with it: a class left behind
// would send the windows of a library loaded again to the old, unmapped procedure.
class RelayClass {
public:
  RelayClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &RelayProc;
    wc.hInstance = OwnModule();
    wc.lpszClassName = kClassName;
    ::RegisterClassExA(&wc);
  }
  ~RelayClass() {
    if (!ProcessEnding()) ::UnregisterClassA(kClassName, OwnModule());
  }
};

void RegisterClassOnce() { static RelayClass registered; }
} // namespace

namespace {
// What the window procedure reaches through the window's user data.
struct RelayWindowData {
  MessageRelay::Handler handler;
  MessageRelay *owner = nullptr;
  bool draining = false; // only touched on the window's thread
};
} // namespace

namespace {
struct RelayCore {
  RelayWindowData data;
  HWND window = nullptr;
  DWORD threadId = 0;
  HANDLE thread = nullptr;
  std::promise<HWND> created;
};

DWORD WINAPI RelayThread(void *param) {
  auto *s = static_cast<RelayCore *>(param);
  // Taken before anything else, so the module stays while this thread runs its code.
  HMODULE held = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&RelayThread), &held);
  HWND w = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             OwnModule(), &s->data);
  s->threadId = ::GetCurrentThreadId();
  s->created.set_value(w);
  if (w) {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  }
  if (held) ::FreeLibraryAndExitThread(held, 0);
  return 0;
}
} // namespace

struct MessageRelay::State : RelayCore {};

namespace {
LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto *cs = reinterpret_cast<CREATESTRUCTA *>(lparam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto *data = reinterpret_cast<RelayWindowData *>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == StopMessage()) {
    ::DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    ::PostQuitMessage(0);
    return 0;
  }
  // WM_NULL and the application's own messages go to the handler; the window's own
  // housekeeping stays with the system.
  if (data && (message == WM_NULL || (message >= WM_USER && message < 0xC000)) && data->handler) {
    // The system hands a message sent from another thread to the window before the messages
    // already posted to it. The progress of a download must arrive in the order the plug-in
    // issued it (its last progress report before the "finished" it sends), so what was posted
    // before is handled first.
    // The posted ones are handled as they are, without draining again.
    if (::InSendMessage() && !data->draining) {
      data->draining = true;
      MSG queued;
      while (::PeekMessageA(&queued, window, WM_USER, 0xBFFF, PM_REMOVE)) ::DispatchMessageA(&queued);
      data->draining = false;
    }
    return static_cast<LRESULT>(data->handler(message, static_cast<uintptr_t>(wparam),
                                               static_cast<intptr_t>(lparam)));
  }
  return ::DefWindowProcA(window, message, wparam, lparam);
}
} // namespace

MessageRelay::MessageRelay(Handler handler) : state_(new State) {
  state_->data.handler = std::move(handler);
  state_->data.owner = this;
  RegisterClassOnce();
  auto window = state_->created.get_future();
  state_->thread = ::CreateThread(nullptr, 0, &RelayThread, static_cast<RelayCore *>(state_), 0, nullptr);
  state_->window = state_->thread ? window.get() : nullptr;
}

MessageRelay::~MessageRelay() {
  if (ProcessEnding()) return; // the thread is gone; its state is left to the process's end
  if (state_->thread && ::GetCurrentThreadId() == state_->threadId) {
    // Ended by its own handler: the loop ends once the handler has returned, and the state
    // it is still using stays with the thread.
    if (state_->window) ::DestroyWindow(state_->window);
    ::CloseHandle(state_->thread);
    return;
  }
  // Queued behind every message posted so far, so those are handled first.
  if (state_->window) ::PostMessageA(state_->window, StopMessage(), 0, 0);
  if (state_->thread) {
    // Messages sent to this thread meanwhile (a host callback on the relay that sends to the
    // window of the thread ending the relay) are answered while waiting.
    while (::MsgWaitForMultipleObjects(1, &state_->thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
      MSG pending;
      ::PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::CloseHandle(state_->thread);
  }
  delete state_;
}

intptr_t MessageRelay::Send(unsigned message, uintptr_t wparam, intptr_t lparam) {
  return SendToWindow(Window(), message, wparam, lparam);
}

void MessageRelay::Post(unsigned message, uintptr_t wparam, intptr_t lparam) {
  PostToWindow(Window(), message, wparam, lparam);
}

void *MessageRelay::Window() { return state_->window; }

bool MessageRelay::Enqueue(unsigned message, uintptr_t wparam, intptr_t lparam,
                           std::promise<intptr_t> *reply) {
  if (reply) reply->set_value(Send(message, wparam, lparam));
  else Post(message, wparam, lparam);
  return state_->window != nullptr;
}

bool MessageRelay::OnRelayThread() const { return ::GetCurrentThreadId() == state_->threadId; }

// The window system itself answers 0 for a handle that is not (or no longer) a window.
intptr_t MessageRelay::SendToWindow(void *window, unsigned message, uintptr_t wparam,
                                    intptr_t lparam) {
  if (!window) return 0;
  return static_cast<intptr_t>(::SendMessageA(static_cast<HWND>(window), message,
                                              static_cast<WPARAM>(wparam),
                                              static_cast<LPARAM>(lparam)));
}

void MessageRelay::PostToWindow(void *window, unsigned message, uintptr_t wparam,
                                intptr_t lparam) {
  if (!window) return;
  ::PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                 static_cast<LPARAM>(lparam));
}

MessageRelay *MessageRelay::FromWindow(void *window) {
  if (!window || !::IsWindow(static_cast<HWND>(window))) return nullptr;
  char name[64] = {};
  if (!::GetClassNameA(static_cast<HWND>(window), name, sizeof name) ||
      std::string_view(name) != kClassName)
    return nullptr;
  auto *data = reinterpret_cast<RelayWindowData *>(
      ::GetWindowLongPtrA(static_cast<HWND>(window), GWLP_USERDATA));
  return data ? data->owner : nullptr;
}

} // namespace qrx::platform

// Thin wrappers over the window system, so one plug-in source builds on every platform.
QRX_EXPORT intptr_t QRX_SendMessage(void *window, unsigned message, uintptr_t wparam,
                                    intptr_t lparam) {
  return qrx::platform::MessageRelay::SendToWindow(window, message, wparam, lparam);
}

QRX_EXPORT int QRX_PostMessage(void *window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  return ::PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam))
             ? 1
             : 0;
}
