// CompletionQueue: carries out requests that SendASPI32Command answered with
// SS_PENDING, one after the other, on a worker thread of the layer.
//
// DLL trap: the initiator may FreeLibrary the layer the moment its last
// request has signalled completion, while the worker is still returning
// through the layer's code. So the worker holds its own reference on the
// module and leaves with FreeLibraryAndExitThread; it exits whenever the queue
// runs dry and a new one is started by the next pending request. A thread is
// never joined inside DllMain (that would deadlock on the loader lock).
//
// Thread safety: Post may be called from any thread.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace vdrive::aspi {

class CompletionQueue {
public:
    using Job = std::function<void()>;

    // Queues `job` for the worker. Answers false, and keeps nothing, when no
    // worker could be started: the caller then completes the request itself.
    bool Post(Job job);

private:
    static DWORD WINAPI WorkerMain(void* param);
    HMODULE Drain();

    std::mutex m_mutex;
    std::deque<Job> m_jobs;
    bool m_running = false;
    HMODULE m_workerModule = nullptr;  // the running worker's module reference
};

}  // namespace vdrive::aspi
