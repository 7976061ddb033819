// Linked into every program of the ThreadSanitizer build: leaves out the
// reports whose every access (and, for reports without accesses, every
// stack) was made inside a library listed in tests/tsan.supp, the GL
// driver. The sanitizer's own suppressions cannot say that: they match a
// report when any frame of any stack matches, which would also hide a race
// between our code and the driver.
#include <dlfcn.h>

#include <cstring>

#include "a2d_tsan_drivers.h"

extern "C" {
void* __tsan_get_current_report();
int __tsan_get_report_data(void* report, const char** description, int* count, int* stackCount, int* mopCount,
                           int* locCount, int* mutexCount, int* threadCount, int* uniqueTidCount,
                           void** sleepTrace, unsigned long traceSize);
int __tsan_get_report_mop(void* report, unsigned long index, int* tid, void** addr, int* size, int* write,
                          int* atomic, void** trace, unsigned long traceSize);
int __tsan_get_report_stack(void* report, unsigned long index, void** trace, unsigned long traceSize);
}

namespace __tsan {
struct ReportDesc;
// The runtime's hook (weak there): true leaves the report out.
bool OnReport(const ReportDesc* report, bool suppressed);
} // namespace __tsan

namespace {

constexpr unsigned long kFrames = 64;

const char* moduleOf(void* pc)
{
    Dl_info info{};
    return dladdr(pc, &info) && info.dli_fname ? info.dli_fname : "";
}

bool endsWith(const char* path, const char* name)
{
    const std::size_t p = std::strlen(path), n = std::strlen(name);
    return p >= n && std::strcmp(path + p - n, name) == 0 && (p == n || path[p - n - 1] == '/');
}

// Whether the first frame outside the sanitizer runtime lies in a listed
// library. An empty or runtime-only stack does not count as the driver's.
bool madeByDriver(void* const* trace, unsigned long frames)
{
    static const char* const runtime = moduleOf(reinterpret_cast<void*>(&__tsan_get_current_report));
    for (unsigned long i = 0; i < frames && trace[i]; ++i) {
        const char* module = moduleOf(trace[i]);
        if (std::strcmp(module, runtime) == 0)
            continue;
        for (const char* driver : kTsanDriverLibraries)
            if (endsWith(module, driver))
                return true;
        return false;
    }
    return false;
}

} // namespace

bool __tsan::OnReport(const ReportDesc*, bool suppressed)
{
    if (suppressed)
        return true;
    void* report = __tsan_get_current_report();
    const char* description = nullptr;
    int count = 0, stacks = 0, mops = 0, locs = 0, mutexes = 0, threads = 0, tids = 0;
    void* sleep[1] = {};
    if (!report || !__tsan_get_report_data(report, &description, &count, &stacks, &mops, &locs, &mutexes, &threads,
                                           &tids, sleep, 1))
        return false;
    if (mops + stacks == 0)
        return false;
    void* trace[kFrames];
    for (int i = 0; i < mops; ++i) {
        int tid = 0, size = 0, write = 0, atomic = 0;
        void* addr = nullptr;
        std::memset(trace, 0, sizeof trace);
        if (!__tsan_get_report_mop(report, unsigned(i), &tid, &addr, &size, &write, &atomic, trace, kFrames) ||
            !madeByDriver(trace, kFrames))
            return false;
    }
    for (int i = 0; i < stacks; ++i) {
        std::memset(trace, 0, sizeof trace);
        if (!__tsan_get_report_stack(report, unsigned(i), trace, kFrames) || !madeByDriver(trace, kFrames))
            return false;
    }
    return true;
}
