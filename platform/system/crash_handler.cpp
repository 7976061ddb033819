#include "platform/system/crash_handler.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <ctime>
#include <exception>

namespace platform {

namespace {

// Everything the signal handler touches is prepared at install time: it
// must not allocate, lock or call localtime.
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kAltStackSize = 64 * 1024;
constexpr std::size_t kFileNameSize = 64;
constexpr int kMaxSuffix = 1000;
constexpr int kMaxFrames = 128;
constexpr unsigned kNamingSeconds = 5;

bool g_installed = false;
struct sigaction g_oldActions[kSignalCount];
std::terminate_handler g_oldTerminate = nullptr;
stack_t g_oldAltStack{};
bool g_altStackSet = false;
char* g_altStack = nullptr;
std::size_t g_altStackSize = 0;

char* g_folder = nullptr;       // ends with '/' unless empty
std::size_t g_folderCap = 0;
char* g_path = nullptr;         // folder + file name, sized at install
char g_fileName[kFileNameSize];
CrashHook g_hook = nullptr;
long g_utcOffset = 0;           // seconds east of UTC, taken at install

char g_reason[1024];
std::atomic<int> g_handling{0};

char g_copyBuffer[4096];

// ---- async-signal-safe helpers -------------------------------------------

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void writeText(int fd, const char* text) { writeAll(fd, text, std::strlen(text)); }

// Appends the decimal value with at least minDigits digits; returns the new end.
char* appendUnsigned(char* out, char* end, std::uint64_t value, int minDigits)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 24);
    while (count < minDigits && count < 24)
        digits[count++] = '0';
    while (count > 0 && out < end)
        *out++ = digits[--count];
    return out;
}

char* appendHex(char* out, char* end, std::uintptr_t value)
{
    char digits[2 * sizeof value];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count > 0 && out < end)
        *out++ = digits[--count];
    return out;
}

char* appendText(char* out, char* end, const char* text)
{
    while (*text && out < end)
        *out++ = *text++;
    return out;
}

const char* signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "unknown";
    }
}

struct CivilDate {
    unsigned year, month, day;
};

// Proleptic Gregorian date of a day count since 1970-01-01.
CivilDate civilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<unsigned>(y), static_cast<unsigned>(m), static_cast<unsigned>(d)};
}

CivilDate localDateNow()
{
    const std::int64_t local = static_cast<std::int64_t>(::time(nullptr)) + g_utcOffset;
    std::int64_t days = local / 86400;
    if (local % 86400 < 0)
        --days;
    return civilFromDays(days);
}

// Builds "crash_YYYY.MM.DD[_N].dmp" into g_fileName.
void makeFileName(const CivilDate& date, int suffix)
{
    char* out = g_fileName;
    char* end = g_fileName + kFileNameSize - 1;
    out = appendText(out, end, "crash_");
    out = appendUnsigned(out, end, date.year, 4);
    out = appendText(out, end, ".");
    out = appendUnsigned(out, end, date.month, 2);
    out = appendText(out, end, ".");
    out = appendUnsigned(out, end, date.day, 2);
    if (suffix > 0) {
        out = appendText(out, end, "_");
        out = appendUnsigned(out, end, static_cast<unsigned>(suffix), 1);
    }
    out = appendText(out, end, ".dmp");
    *out = '\0';
}

// Opens a report file that did not exist before; -1 (and g_fileName empty) on failure.
int createReportFile()
{
    if (!g_path || !g_folder) {
        g_fileName[0] = '\0';
        return -1;
    }
    const CivilDate date = localDateNow();
    const std::size_t folderLen = std::strlen(g_folder);
    for (int suffix = 0; suffix <= kMaxSuffix; ++suffix) {
        makeFileName(date, suffix);
        std::memcpy(g_path, g_folder, folderLen);
        std::memcpy(g_path + folderLen, g_fileName, std::strlen(g_fileName) + 1);
        const int fd = ::open(g_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST && errno != EINTR)
            break;
    }
    g_fileName[0] = '\0';
    return -1;
}

void copyFileInto(int fd, const char* path)
{
    const int in = ::open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return;
    for (;;) {
        const ssize_t n = ::read(in, g_copyBuffer, sizeof g_copyBuffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        writeAll(fd, g_copyBuffer, static_cast<std::size_t>(n));
    }
    ::close(in);
}

[[noreturn]] void dieWithDefault(int sig)
{
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(sig);
    // Only reachable if the signal was somehow survived; never return into
    // the faulting code.
    ::_exit(128 + sig);
}

// The first frames are the handler's own.
void* g_frames[kMaxFrames];
int g_frameCount = 0;
int g_signal = 0;

void writeReport(int fd, int sig, const siginfo_t* info)
{
    char line[128];
    char* end = line + sizeof line - 1;

    writeText(fd, "Critical error!\n");

    char* out = appendText(line, end, "Signal: ");
    out = appendUnsigned(out, end, static_cast<unsigned>(sig), 1);
    out = appendText(out, end, " (");
    out = appendText(out, end, signalName(sig));
    out = appendText(out, end, ")\n");
    writeAll(fd, line, static_cast<std::size_t>(out - line));

    // A signal sent with kill() or raise() carries the sender, not a fault address.
    if (info && info->si_code <= 0) {
        out = appendText(line, end, "Sent by process ");
        out = appendUnsigned(out, end, static_cast<std::uint64_t>(info->si_pid), 1);
        if (info->si_pid == ::getpid())
            out = appendText(out, end, " (this process)");
    } else {
        out = appendText(line, end, "Address: 0x");
        out = appendHex(out, end, reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr));
    }
    out = appendText(out, end, "\n");
    writeAll(fd, line, static_cast<std::size_t>(out - line));

    if (g_reason[0]) {
        writeText(fd, "Reason: ");
        writeText(fd, g_reason);
        writeText(fd, "\n");
    }

    writeText(fd, "Backtrace:\n");
    g_frameCount = ::backtrace(g_frames, kMaxFrames);
    if (g_frameCount > 0)
        ::backtrace_symbols_fd(g_frames, g_frameCount, fd);

    writeText(fd, "Memory map:\n");
    copyFileInto(fd, "/proc/self/maps");
}

void onStuck(int) { dieWithDefault(g_signal); }

// Readable function names for the backtrace. Demangling allocates, which a
// signal handler must not rely on, so this part comes last and a watchdog
// ends the process should it hang.
void writeFunctionNames(int fd)
{
    struct sigaction sa{};
    sa.sa_handler = onStuck;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGALRM, &sa, nullptr);
    ::alarm(kNamingSeconds);

    writeText(fd, "Functions:\n");
    for (int i = 0; i < g_frameCount; ++i) {
        // A return address may lie just past its function's end.
        const char* at = static_cast<const char*>(g_frames[i]) - (i > 0 ? 1 : 0);
        Dl_info where{};
        void* entry = nullptr;
        if (!::dladdr1(at, &where, &entry, RTLD_DL_SYMENT))
            continue;
        const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
        char line[64];
        char* end = line + sizeof line - 1;
        char* out = appendText(line, end, "#");
        out = appendUnsigned(out, end, static_cast<unsigned>(i), 1);
        out = appendText(out, end, " ");
        writeAll(fd, line, static_cast<std::size_t>(out - line));
        // Only a symbol that really spans the address names it; otherwise
        // the nearest exported one would be a wrong name.
        const char* start = static_cast<const char*>(where.dli_saddr);
        if (where.dli_sname && symbol && start && at >= start &&
            static_cast<std::size_t>(at - start) < symbol->st_size) {
            int status = 0;
            char* readable = abi::__cxa_demangle(where.dli_sname, nullptr, nullptr, &status);
            writeText(fd, status == 0 && readable ? readable : where.dli_sname);
            std::free(readable);
            out = appendText(line, end, " + 0x");
            out = appendHex(out, end, static_cast<std::uintptr_t>(static_cast<const char*>(g_frames[i]) - start));
        } else {
            out = appendText(line, end, "?? + 0x");
            out = appendHex(out, end,
                            static_cast<std::uintptr_t>(static_cast<const char*>(g_frames[i]) -
                                                        static_cast<const char*>(where.dli_fbase)));
        }
        out = appendText(out, end, " in ");
        writeAll(fd, line, static_cast<std::size_t>(out - line));
        writeText(fd, where.dli_fname ? where.dli_fname : "?");
        writeText(fd, "\n");
    }
    ::alarm(0);
}

void onFatalSignal(int sig, siginfo_t* info, void*)
{
    if (g_handling.exchange(1) != 0)
        dieWithDefault(sig);

    g_signal = sig;
    const void* address = info ? info->si_addr : nullptr;
    const int fd = createReportFile();
    if (fd >= 0) {
        writeReport(fd, sig, info);
        writeFunctionNames(fd);
        ::close(fd);
    }

    if (CrashHook hook = g_hook) {
        CrashReport report;
        report.signal = sig;
        report.address = address;
        report.fileName = g_fileName;
        report.folder = g_folder ? g_folder : "";
        hook(report);
    }

    dieWithDefault(sig);
}

void storeReason(const char* text)
{
    std::strncpy(g_reason, text ? text : "", sizeof g_reason - 1);
    g_reason[sizeof g_reason - 1] = '\0';
}

[[noreturn]] void onTerminate()
{
    storeReason("unknown exception");
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            storeReason(e.what());
        } catch (...) {
        }
    }
    std::abort();
}

void storeFolder(const std::string& folder)
{
    const bool needSlash = !folder.empty() && folder.back() != '/';
    const std::size_t len = folder.size() + (needSlash ? 1 : 0);
    if (!g_folder || len + 1 > g_folderCap) {
        // The handler reads these; keep the old ones alive rather than free
        // memory a signal might be reading.
        g_folderCap = len + 1;
        char* folderBuf = new char[g_folderCap];
        char* pathBuf = new char[g_folderCap + kFileNameSize];
        // Retired buffers stay reachable (and so are not reported as leaks).
        // The list itself is never destroyed: a crash while the program's
        // statics are torn down (an exit() called from inside a library)
        // still reads the current buffers.
        static auto* retired = new std::vector<std::unique_ptr<char[]>>;
        retired->emplace_back(folderBuf);
        retired->emplace_back(pathBuf);
        std::memcpy(folderBuf, folder.data(), folder.size());
        if (needSlash)
            folderBuf[folder.size()] = '/';
        folderBuf[len] = '\0';
        g_path = pathBuf;
        g_folder = folderBuf;
        return;
    }
    std::memcpy(g_folder, folder.data(), folder.size());
    if (needSlash)
        g_folder[folder.size()] = '/';
    g_folder[len] = '\0';
}

void setUpAltStack()
{
    if (!g_altStack) {
        g_altStackSize = kAltStackSize;
        if (static_cast<std::size_t>(SIGSTKSZ) > g_altStackSize)
            g_altStackSize = static_cast<std::size_t>(SIGSTKSZ);
        g_altStack = new char[g_altStackSize];
    }
    stack_t ss{};
    ss.ss_sp = g_altStack;
    ss.ss_size = g_altStackSize;
    ss.ss_flags = 0;
    g_altStackSet = ::sigaltstack(&ss, &g_oldAltStack) == 0;
}

} // namespace

void installCrashHandler(const std::string& folder, CrashHook hook)
{
    storeFolder(folder);
    g_hook = hook;
    g_fileName[0] = '\0';

    const std::time_t now = std::time(nullptr);
    struct tm local{};
    if (::localtime_r(&now, &local))
        g_utcOffset = local.tm_gmtoff;

    // The first backtrace() loads libgcc; that must not happen in the handler.
    void* frames[2];
    ::backtrace(frames, 2);

    if (g_installed)
        return;

    setUpAltStack();
    struct sigaction sa{};
    sa.sa_sigaction = onFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &sa, &g_oldActions[i]);
    g_oldTerminate = std::set_terminate(onTerminate);
    g_installed = true;
}

void uninstallCrashHandler()
{
    if (!g_installed)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &g_oldActions[i], nullptr);
    std::set_terminate(g_oldTerminate);
    if (g_altStackSet) {
        ::sigaltstack(&g_oldAltStack, nullptr);
        g_altStackSet = false;
    }
    g_hook = nullptr;
    g_installed = false;
}

const char* lastTerminateReason() { return g_reason; }

} // namespace platform
