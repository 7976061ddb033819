#pragma once
// Fatal-signal and std::terminate handling. On SEGV, BUS, ILL, FPE or ABRT
// the handler, on an alternate stack, first writes a text report (signal,
// fault address or sending process, backtrace, memory map) into the crash
// folder with async-signal-safe calls only; then, best effort under a
// watchdog, the backtrace's function names (readable where the program
// exports its symbols); then it calls the after-report hook (best effort:
// logging, message box); then it re-raises the signal with the default
// action.
#include <string>

namespace platform {

struct CrashReport {
    int signal = 0;
    const void* address = nullptr;
    // File name (no folder) of the report; empty when it could not be written.
    const char* fileName = "";
    const char* folder = "";
};

using CrashHook = void (*)(const CrashReport& report);

// folder ends with '/'. The report is "crash_YYYY.MM.DD.dmp" (local date);
// when that exists, "crash_YYYY.MM.DD_1.dmp", "_2", and so on.
void installCrashHandler(const std::string& folder, CrashHook hook);
void uninstallCrashHandler();

// Text an uncaught exception leaves for the report (set by the terminate
// handler before it aborts).
const char* lastTerminateReason();

} // namespace platform
