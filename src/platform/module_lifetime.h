// The library's own lifetime in its process: what unloading may still do.
#pragma once

namespace qrx::platform {

// True once the process has begun to end (exit on POSIX systems is an ordinary unload; on
// Windows, the library's detach at ExitProcess). The process's other threads are gone then,
// with whatever locks they held: work at unload that could wait for a thread or a lock, or
// call into other libraries, is left undone.
bool ProcessEnding();

} // namespace qrx::platform
