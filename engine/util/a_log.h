#pragma once
// The process log: one text file, each line "HH:MM:SS.mmm<TAB>text" with the
// time since program start. Writing is serialised, so threads may log at
// once; while the log is closed every call is silent.
#include <cstdio>
#include <exception>

#include "engine/util/a_timer.h"

// The open log stream, null while closed. Opened and closed by the
// application object.
extern std::FILE* g_logFile;

// Log buffer and location buffer sizes, terminators included.
constexpr int A_LOG_BUFFER_SIZE = 2000;
constexpr int A_LOCATION_BUFFER_SIZE = 300;
constexpr int A_EXCEPTION_TEXT_SIZE = 4096;

// printf-style line; longer messages are truncated.
void a_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Logs the text as it is ('%' is not interpreted).
void a_logString(const char* text);
// Closes the log (if open) and makes further calls silent.
void a_closeLog();

// The clock the stamps count from; constructed at program start.
aTimer& a_logClock();

// "(name, line N)" with name = the part of path after its last '\' or '/'.
// The text lives in a per-thread buffer, overwritten by the next call.
const char* a_fileLine(const char* path, unsigned line);

// Logs "<function>: <condition> <location>".
void a_assertLog(const char* function, const char* condition, const char* location);

// An engine assertion failure; the text is built as the log shows it.
class aException : public std::exception {
public:
    aException(const char* message, const char* function, const char* location);
    const char* what() const noexcept override { return m_text; }
    const char* text() const { return m_text; }

private:
    char m_text[A_EXCEPTION_TEXT_SIZE];
};

// Check kind: logs and goes on.
#define A_CHECK(cond)                                                                          \
    do {                                                                                       \
        if (!(cond))                                                                           \
            a_assertLog(__PRETTY_FUNCTION__, #cond, a_fileLine(__FILE__, __LINE__));           \
    } while (0)

// Throwing kind: logs, then throws an aException.
#define A_ASSERT(cond)                                                                         \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            const char* a_loc_ = a_fileLine(__FILE__, __LINE__);                               \
            a_assertLog(__PRETTY_FUNCTION__, #cond, a_loc_);                                   \
            throw aException(#cond, __PRETTY_FUNCTION__, a_loc_);                              \
        }                                                                                      \
    } while (0)
