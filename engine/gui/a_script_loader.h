#pragma once
// The reader of GUI scripts: a line preprocessor (macros "$name$",
// "#define name \"text\"", "#include \"file\"", ';' comment lines) and
// sections in braces. A line is a section header only when the next
// significant line is a lone "{"; other lines are entries of the innermost
// section. Derived classes give sections and entries their meaning through
// the hooks.
//
// Bad lines are logged as "Error in script \"<file>\", line <n>: <why>" and
// reading goes on. Includes share the defines, the section stack and the
// pending line; a file already being parsed, a nesting deeper than
// aIncludeGuard::kMaxDepth files and more than kMaxIncludedFiles includes in
// one load are refused. Macro replacement adds at most kMaxExpansion bytes
// to a line and kMaxLoadExpansion to all lines of one load together; a line
// that would grow further is dropped.
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class aIncludeGuard;

class aScriptLoader {
public:
    static constexpr std::size_t kMaxExpansion = std::size_t(1) << 20;
    static constexpr std::size_t kMaxLoadExpansion = std::size_t(16) << 20;

    aScriptLoader();
    virtual ~aScriptLoader();
    aScriptLoader(const aScriptLoader&) = delete;
    aScriptLoader& operator=(const aScriptLoader&) = delete;

    // onParseBegin, the file with a fresh state (no defines, sections or
    // pending line), onParseEnd. Sections left open at the end are logged
    // once and closed (innermost first); a pending line is dropped.
    void load(const std::string& fileName);

    // Splits at runs of blanks and tabs; a token that starts with '"' runs
    // to the next '"', quotes excluded; an unclosed quote ends the split.
    static std::vector<std::string> splitTokens(const std::string& line);

protected:
    virtual void onParseBegin(const std::string& fileName);
    virtual void onParseEnd(const std::string& fileName);
    // The new section's value; 0 ignores the section and everything in it.
    // parentValue is 0 at the outermost level.
    virtual int onSection(int parentValue, const std::vector<std::string>& tokens) = 0;
    virtual void onSectionEnd(int value) = 0;
    virtual void onEntry(int value, const std::vector<std::string>& tokens) = 0;

    // Logs the error line for the line being read.
    void scriptError(const std::string& why) const;

private:
    void parseFile(const std::string& fileName);
    void parseLine(std::string line);
    // False (the line is to be dropped) when the replacements grow too much.
    bool expandMacros(std::string& line);
    void define(const std::string& line, std::size_t at);
    void include(const std::string& line, std::size_t at);
    void deliverPending();

    bool m_hasPending = false;
    std::vector<std::string> m_tokens;
    std::deque<int> m_sections;
    std::map<std::string, std::string> m_defines;
    // Bytes added by macro replacement in this load.
    std::size_t m_expanded = 0;

    // The file being read and its line, for errors.
    std::string m_file;
    int m_line = 0;
    std::unique_ptr<aIncludeGuard> m_guard;
};
