#include "platform/thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>

#include <new>
#endif

namespace tarnvel::platform {

#ifdef _WIN32
namespace {
DWORD WINAPI trampoline(LPVOID self) {
    auto* thread = static_cast<Thread*>(self);
    thread->run();
    return 0;
}
}  // namespace
#endif

void Thread::run() { entry_(argument_); }

#ifdef _WIN32
bool Thread::start(Entry entry, void* argument) {
    if (handle_) return false;
    entry_ = entry;
    argument_ = argument;
    handle_ = CreateThread(nullptr, 0, trampoline, this, 0, nullptr);
    return handle_ != nullptr;
}

void Thread::join() {
    if (!handle_) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}
#else
namespace {
void* trampoline(void* self) {
    static_cast<Thread*>(self)->run();
    return nullptr;
}
}  // namespace

bool Thread::start(Entry entry, void* argument) {
    if (handle_) return false;
    entry_ = entry;
    argument_ = argument;
    auto* id = new (std::nothrow) pthread_t;
    if (!id) return false;
    if (pthread_create(id, nullptr, trampoline, this) != 0) {
        delete id;
        return false;
    }
    handle_ = id;
    return true;
}

void Thread::join() {
    if (!handle_) return;
    auto* id = static_cast<pthread_t*>(handle_);
    pthread_join(*id, nullptr);
    delete id;
    handle_ = nullptr;
}
#endif

}  // namespace tarnvel::platform
