#include "engine/util/a_log.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

std::FILE* g_logFile = nullptr;

namespace {

// Guards the buffer, the stream and the stream pointer. Recursive so that
// the crash hook can log even when the crash happened inside a_log.
std::recursive_mutex& logMutex()
{
    static std::recursive_mutex m;
    return m;
}

char g_logBuffer[A_LOG_BUFFER_SIZE];

void writeLine(const char* text)
{
    const std::uint32_t total = a_logClock().getTimeMs();
    const unsigned s = total / 1000;
    const int hours = int(s / 3600);
    const int minutes = int((s % 3600) / 60);
    const int seconds = int(s % 60);
    const int ms = int(total % 1000);
    std::fprintf(g_logFile, "%.2i:%.2i:%.2i.%.3i\t%s\n", hours, minutes, seconds, ms, text);
    std::fflush(g_logFile);
}

// Built at start-up so that stamps count from program start.
aTimer& g_logClockRef = a_logClock();

} // namespace

aTimer& a_logClock()
{
    static aTimer clock(aTimer::PerformanceCounter);
    return clock;
}

void a_log(const char* format, ...)
{
    std::lock_guard<std::recursive_mutex> lock(logMutex());
    if (!g_logFile)
        return;
    if (!format) {
        std::snprintf(g_logBuffer, sizeof g_logBuffer, "%s", "a_log. NULL log string");
    } else {
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(g_logBuffer, sizeof g_logBuffer, format, args);
        va_end(args);
        if (n < 0)
            return;
    }
    writeLine(g_logBuffer);
}

void a_logString(const char* text)
{
    std::lock_guard<std::recursive_mutex> lock(logMutex());
    if (!g_logFile)
        return;
    writeLine(text ? text : "");
}

void a_closeLog()
{
    std::lock_guard<std::recursive_mutex> lock(logMutex());
    if (g_logFile) {
        std::fclose(g_logFile);
        g_logFile = nullptr;
    }
}

const char* a_fileLine(const char* path, unsigned line)
{
    thread_local char buffer[A_LOCATION_BUFFER_SIZE];
    const char* name = path ? path : "";
    for (const char* p = name; *p; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    std::snprintf(buffer, sizeof buffer, "(%s, line %u)", name, line);
    return buffer;
}

void a_assertLog(const char* function, const char* condition, const char* location)
{
    a_log("%s: %s %s", function ? function : "", condition ? condition : "", location ? location : "");
}

aException::aException(const char* message, const char* function, const char* location)
{
    const char* msg = message ? message : "";
    const char* fn = function ? function : "";
    const char* loc = location ? location : "";
    if (std::strncmp(msg, "App", 3) == 0)
        std::snprintf(m_text, sizeof m_text, "%s%s\n%s%s %s", "", msg, "", fn, loc);
    else
        std::snprintf(m_text, sizeof m_text, "%s%s\n%s%s %s", "Application generated exception!\n", msg,
                      "\nCatch stack:\n", fn, loc);
}
