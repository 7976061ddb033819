#pragma once
#include <cstdint>
#include <string>

// The application's command line split into at most 64 arguments.
// Argument 0 is "invalid": the line given to the program does not carry
// the program's name. A quoted argument ends at the next lone quote; two
// quotes inside it stand for one.
class aCmdLine {
public:
    static constexpr int kMaxArgs = 64;

    aCmdLine();
    aCmdLine(const aCmdLine&) = delete;
    aCmdLine& operator=(const aCmdLine&) = delete;

    std::int32_t getArgc() const { return m_argc; }
    // Null for an index out of range.
    const char* getArgv(int index) const;

private:
    void split();

    std::string m_text;  // the arguments point into this buffer
    const char* m_argv[kMaxArgs] = {};
    std::int32_t m_argc = 1;
};

// Builds one command line from program arguments, quoting those that hold
// blanks, tabs, CR, LF or quotes (and empty ones, doubling their quotes) so
// that aCmdLine gives every argument back unchanged.
std::string a_joinCommandLine(int argc, const char* const* argv);
