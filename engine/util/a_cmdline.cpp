#include "engine/util/a_cmdline.h"

#include "engine/util/a_application.h"
#include "engine/util/a_log.h"

aCmdLine::aCmdLine()
{
    if (!g_application)
        a_log("aCmdLine. Error, aApplication object not created!");
    else if (g_application->m_cmdLine)
        m_text = g_application->m_cmdLine;
    m_argv[0] = "invalid";
    m_argc = 1;
    split();
}

const char* aCmdLine::getArgv(int index) const
{
    return (index >= 0 && index < m_argc) ? m_argv[index] : nullptr;
}

void aCmdLine::split()
{
    char* s = m_text.data();
    const std::size_t len = m_text.size();
    std::size_t pos = 0;
    while (m_argc < kMaxArgs && pos < len) {
        while (pos < len && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        std::size_t start = pos;
        if (pos < len && s[pos] == '"') {
            start = pos + 1;
            // Inside quotes a doubled quote stands for one.
            std::size_t close = m_text.find('"', start);
            while (close != std::string::npos && close + 1 < len && s[close + 1] == '"')
                close = m_text.find('"', close + 2);
            if (close != std::string::npos) {
                std::size_t out = start;
                for (std::size_t in = start; in < close; ++in, ++out) {
                    s[out] = s[in];
                    if (s[in] == '"')
                        ++in;
                }
                s[out] = '\0';
                m_argv[m_argc++] = s + start;
                pos = close + 1;
                continue;
            }
            // No closing quote: an unquoted argument after the quote.
        }
        const std::size_t end = m_text.find_first_of(" \r\n\t", start);
        m_argv[m_argc++] = s + start;
        if (end == std::string::npos)
            break;
        s[end] = '\0';
        pos = end + 1;
    }
}

std::string a_joinCommandLine(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (i > 0)
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\r\n\"") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '"';
        for (char c : arg)
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line;
}
