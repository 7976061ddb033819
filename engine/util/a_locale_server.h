#pragma once
// Every displayed text, by key, from UTF-8 tables of the current language.
// A key may carry a group prefix ("group:key") so that tables loaded under
// different groups can reuse short keys. Main thread only.
//
// Table lines: key, then blanks, '=' or tabs, then a quoted text that runs
// to the last '"' of the line. "\n" in the text is a line break. With
// "file," before the quote the text is a path whose whole file is the text.
// Blank lines and lines starting with ';' are skipped.
#include <list>
#include <map>
#include <string>
#include <vector>

class aLocaleServer {
public:
    // Sets g_localeServer; the destructor clears it.
    aLocaleServer();
    ~aLocaleServer();
    aLocaleServer(const aLocaleServer&) = delete;
    aLocaleServer& operator=(const aLocaleServer&) = delete;

    // Loads a table under a group once; a later line with the same full key
    // replaces the earlier text.
    void loadFile(const std::string& path, const std::string& group = std::string());
    // Erases every key the table defined under the group when it was loaded
    // (also when another table defined it too); the file is not read again.
    // False when the table was not loaded.
    bool unloadFile(const std::string& path, const std::string& group = std::string());

    // Null when absent, silently. The pointer lives until the key is
    // replaced or erased.
    const std::wstring* findString(const std::string& key, const std::string& prefix = std::string()) const;
    // Empty and logged when absent.
    std::wstring getString(const std::string& key, const std::string& prefix = std::string()) const;

    std::size_t getSize() const { return m_texts.size(); }

private:
    struct LoadedFile {
        std::string path;
        std::string group;
        std::vector<std::string> keys;  // full keys, as loaded
    };

    void parseFile(const std::string& path, const std::string& group, std::vector<std::string>& keys);
    std::wstring readTextFile(const std::string& target, const std::string& table, const std::string& key,
                              unsigned line) const;

    std::map<std::string, std::wstring> m_texts;
    std::list<LoadedFile> m_files;
};

// The locale server in use, null when none exists.
extern aLocaleServer* g_localeServer;
