#pragma once
// Splits text into plain runs and tag runs written between an open and a
// close delimiter ("A<#color=ff0000#>B" with "<#", "#>"), and reads a tag as
// key and value around a separator. After parse no run is empty, no two
// text runs are adjacent, and an unclosed tag drops the rest of the text.
// Keys and values are not trimmed.
#include <cstddef>
#include <list>
#include <string>

#include "engine/util/a_log.h"

template <class Ch>
class aTagParser {
public:
    using String = std::basic_string<Ch>;
    struct Run {
        bool isText;
        String text;
    };
    using Runs = std::list<Run>;

    // An empty open or close delimiter is logged; parse then keeps the whole
    // text as one run.
    aTagParser(const String& open, const String& close, const String& separator)
        : m_separator(separator), m_openTag(open), m_closeTag(close), m_cursor(m_runs.end())
    {
        if (m_openTag.empty() || m_closeTag.empty())
            a_log("aTagParser. Empty open or close delimiter");
    }
    aTagParser(const Ch* open, const Ch* close, const Ch* separator)
        : aTagParser(String(open ? open : empty()), String(close ? close : empty()),
                     String(separator ? separator : empty()))
    {
    }
    // A copy stands on its first run.
    aTagParser(const aTagParser& other)
        : m_separator(other.m_separator), m_openTag(other.m_openTag), m_closeTag(other.m_closeTag),
          m_runs(other.m_runs), m_cursor(m_runs.begin())
    {
    }
    aTagParser& operator=(const aTagParser& other)
    {
        if (this != &other) {
            m_separator = other.m_separator;
            m_openTag = other.m_openTag;
            m_closeTag = other.m_closeTag;
            m_runs = other.m_runs;
            m_cursor = m_runs.begin();
        }
        return *this;
    }

    // Rebuilds the runs and stands on the first.
    void parse(const String& text)
    {
        m_runs.clear();
        if (m_openTag.empty() || m_closeTag.empty()) {
            addRun(text, true);
            m_cursor = m_runs.begin();
            return;
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t open = text.find(m_openTag, pos);
            if (open == String::npos) {
                addRun(text.substr(pos), true);
                break;
            }
            addRun(text.substr(pos, open - pos), true);
            pos = open + m_openTag.size();
            const std::size_t close = text.find(m_closeTag, pos);
            if (close == String::npos)
                break;
            addRun(text.substr(pos, close - pos), false);
            pos = close + m_closeTag.size();
        }
        m_cursor = m_runs.begin();
    }

    // Exactly one run, and it is text: the caller may take the text as it is.
    bool isPlainText() const { return m_runs.size() == 1 && m_runs.front().isText; }

    // Empty text adds nothing; text joins a text run before it.
    void addRun(const String& text, bool isText)
    {
        if (text.empty())
            return;
        if (isText && !m_runs.empty() && m_runs.back().isText)
            m_runs.back().text += text;
        else
            m_runs.push_back(Run{isText, text});
    }

    // The current run's text before the first separator (all of it when
    // there is none) and after it (empty when there is none).
    String getKey() const
    {
        if (isEnd())
            return String();
        const std::size_t sep = separatorAt();
        return sep == String::npos ? m_cursor->text : m_cursor->text.substr(0, sep);
    }
    String getValue() const
    {
        if (isEnd())
            return String();
        const std::size_t sep = separatorAt();
        return sep == String::npos ? String() : m_cursor->text.substr(sep + m_separator.size());
    }

    // Cursor over the runs.
    void first() { m_cursor = m_runs.begin(); }
    void next()
    {
        if (m_cursor != m_runs.end())
            ++m_cursor;
    }
    bool isEnd() const { return m_cursor == m_runs.end(); }
    bool isText() const { return !isEnd() && m_cursor->isText; }
    const String& getText() const { return isEnd() ? emptyString() : m_cursor->text; }

    const Runs& getRuns() const { return m_runs; }
    std::size_t getRunCount() const { return m_runs.size(); }
    void clear()
    {
        m_runs.clear();
        m_cursor = m_runs.end();
    }

private:
    static const Ch* empty()
    {
        static const Ch nothing[1] = {Ch()};
        return nothing;
    }
    static const String& emptyString()
    {
        static const String nothing;
        return nothing;
    }
    std::size_t separatorAt() const
    {
        return m_separator.empty() ? String::npos : m_cursor->text.find(m_separator);
    }

    String m_separator;
    String m_openTag;
    String m_closeTag;
    Runs m_runs;
    typename Runs::const_iterator m_cursor;
};
