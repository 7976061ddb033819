#pragma once
// A text file as a list of lines, with a cursor. Lines end at CR or LF;
// blank lines and CR LF pairs give no lines (except one empty line when the
// text begins with a line break). A UTF-8 byte-order mark at the start of
// the text is dropped; no other character set conversion is done.
#include <cstddef>
#include <list>
#include <string>

class aStringList {
public:
    aStringList();
    // Loads the file and stands on its first line.
    explicit aStringList(const std::string& path);

    // Replaces the contents with the lines of the file (empty when it cannot
    // be read; the file layer logs why). False when nothing was read.
    bool load(const std::string& path);
    // Appends the lines of a memory block and stands on the first line.
    void parse(const void* data, std::size_t size);
    void clear();

    void first() { m_current = m_lines.begin(); }
    void next();
    bool isEnd() const { return m_current == m_lines.end(); }
    bool isFirst() const { return m_current == m_lines.begin(); }
    // The line under the cursor; empty past the end.
    const std::string& getCurrent() const;
    std::size_t getSize() const { return m_lines.size(); }

    const std::list<std::string>& lines() const { return m_lines; }

private:
    std::list<std::string> m_lines;
    std::list<std::string>::iterator m_current;
};
