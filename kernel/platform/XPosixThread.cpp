// POSIX platform layer: starting detached system threads and naming the calling thread.
// Holds no other OS calls.

#include "kernel/platform/XPosixThread.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace nuvo {

namespace {

constexpr size_t kMaxThreadNameBytes = 15; // TASK_COMM_LEN minus the terminator

struct ThreadStart {
    XPosixThread::EntryFunction entry;
    void* argument;
};

void* ThreadMain(void* packed)
{
    ThreadStart start = *static_cast<ThreadStart*>(packed);
    delete static_cast<ThreadStart*>(packed);
    start.entry(start.argument);
    return nullptr;
}

} // namespace

int XPosixThread::StartDetached(size_t stackSize, EntryFunction entry, void* argument)
{
    pthread_attr_t attributes;
    int result = pthread_attr_init(&attributes);
    if (result != 0)
        return result;

    result = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    size_t defaultSize = 0;
    // Small requested stacks (the logger asks for 64000 bytes) are raised to the default: the
    // sanitizers and the ICU calls behind string formatting need far more than that.
    if (result == 0 && pthread_attr_getstacksize(&attributes, &defaultSize) == 0 && stackSize > defaultSize) {
        long page = sysconf(_SC_PAGESIZE);
        size_t pageSize = page > 0 ? size_t(page) : 4096;
        size_t rounded = (stackSize + pageSize - 1) / pageSize * pageSize;
        result = pthread_attr_setstacksize(&attributes, rounded);
    }

    if (result == 0) {
        auto* start = new (std::nothrow) ThreadStart{entry, argument};
        if (!start) {
            result = ENOMEM;
        } else {
            pthread_t thread;
            result = pthread_create(&thread, &attributes, ThreadMain, start);
            if (result != 0)
                delete start;
        }
    }
    pthread_attr_destroy(&attributes);
    return result;
}

std::string XPosixThread::TruncateThreadName(const std::string& utf8Name)
{
    if (utf8Name.size() <= kMaxThreadNameBytes)
        return utf8Name;
    size_t length = kMaxThreadNameBytes;
    // Step back over continuation bytes so that no character is cut in half.
    while (length > 0 && (static_cast<unsigned char>(utf8Name[length]) & 0xC0) == 0x80)
        --length;
    return utf8Name.substr(0, length);
}

void XPosixThread::SetCurrentThreadName(const std::string& utf8Name)
{
    // Naming is a debugging aid: a failure changes nothing that the program relies on.
    (void)pthread_setname_np(pthread_self(), TruncateThreadName(utf8Name).c_str());
}

} // namespace nuvo
