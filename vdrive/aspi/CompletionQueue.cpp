#include "vdrive/aspi/CompletionQueue.h"

namespace vdrive::aspi {

bool CompletionQueue::Post(Job job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running) {
        HMODULE self = nullptr;
        // Without the unchanged-refcount flag this takes a reference on the
        // module that contains this function: the layer itself.
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                reinterpret_cast<LPCSTR>(&CompletionQueue::WorkerMain), &self)) {
            return false;
        }
        HANDLE thread = CreateThread(nullptr, 0, &CompletionQueue::WorkerMain, this, 0, nullptr);
        if (thread == nullptr) {
            FreeLibrary(self);
            return false;
        }
        CloseHandle(thread);
        m_running = true;
        m_workerModule = self;
    }
    m_jobs.push_back(std::move(job));
    return true;
}

HMODULE CompletionQueue::Drain() {
    for (;;) {
        Job job;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_jobs.empty()) {
                m_running = false;
                return m_workerModule;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

DWORD WINAPI CompletionQueue::WorkerMain(void* param) {
    HMODULE self = static_cast<CompletionQueue*>(param)->Drain();
    // Does not return: the last code of the layer this thread runs is the
    // call itself, and the module may be unmapped once it is made.
    FreeLibraryAndExitThread(self, 0);
    return 0;
}

}  // namespace vdrive::aspi
