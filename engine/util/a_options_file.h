#pragma once
// Ini-style data files: "[section]" lines, "key = value ; comment" lines,
// ';' comment lines and '#include "file"' expanded in place. Values are kept
// as text; names and keys compare exactly; duplicates stay separate entries
// and lookups find the first. Changes stay in memory.
#include <cstddef>
#include <list>
#include <string>
#include <utility>

class aStringList;

class aOptionsFile {
public:
    using Pair = std::pair<std::string, std::string>;
    using Section = std::pair<std::string, std::list<Pair>>;

    aOptionsFile();
    explicit aOptionsFile(const std::string& path);
    // The cursors point into the object's own lists.
    aOptionsFile(const aOptionsFile&) = delete;
    aOptionsFile& operator=(const aOptionsFile&) = delete;

    // Clears, parses the file and stands on the first section. A missing
    // file leaves no sections (the file layer logs it).
    void load(const std::string& path);
    // The same for a file already read into memory; path names it in
    // messages.
    void parse(const void* data, std::size_t size, const std::string& path);
    void clear();

    // Section cursor. Moving it also rewinds the key cursor.
    void firstSection();
    void nextSection();
    bool isSectionsEnd() const;
    std::string getSectionName() const;
    // Makes the first section of that name current; false (and no change)
    // when there is none.
    bool selectSection(const std::string& name);
    void addSection(const std::string& name);

    // Key cursor in the current section.
    bool firstKey();
    bool nextKey();
    bool isKeysEnd() const;
    std::string getKeyName() const;
    std::string getKeyValue() const;

    bool hasKey(const std::string& key) const;
    bool hasSectionKey(const std::string& section, const std::string& key) const;

    // Getters on the current section. getString logs a missing key; the
    // *Def getters return the default silently. Integers saturate at the
    // 32-bit range; floats use the "C" decimal point.
    std::string getString(const std::string& key) const;
    int getInt(const std::string& key) const;
    std::string getStringDef(const std::string& key, const std::string& def) const;
    std::string getStringDef(const std::string& key, const char* def) const;
    int getIntDef(const std::string& key, int def) const;
    bool getBoolDef(const std::string& key, bool def) const;
    float getFloatDef(const std::string& key, float def) const;

    // Getters by section name; the current section does not move.
    std::string getValue(const std::string& section, const std::string& key) const;
    std::string getValueDef(const std::string& section, const std::string& key, const std::string& def) const;

    // Tokens split at ',' and ' ' (runs count as one separator).
    static void splitTokens(const std::string& text, std::list<std::string>& out);
    static void splitInts(const std::string& text, std::list<int>& out);
    void getTokens(const std::string& key, std::list<std::string>& out) const;
    void getTokens(std::list<std::string>& out, const std::string& key) const { getTokens(key, out); }
    void getInts(const std::string& key, std::list<int>& out) const;
    void getValueTokens(const std::string& section, const std::string& key, std::list<std::string>& out) const;

    // Memory-only setters: the first pair with the key gets the value, or a
    // pair is appended.
    void setValue(const std::string& section, const std::string& key, const std::string& value);
    void setString(const std::string& key, const std::string& value);

    const std::list<Section>& sections() const { return m_sections; }

private:
    struct ParseState;

    void parseFile(const std::string& path, ParseState& state);
    void parseLines(const aStringList& list, const std::string& path, ParseState& state);
    void setCurrent(std::list<Section>::iterator section);
    std::list<Section>::const_iterator findSection(const std::string& name) const;
    static const Pair* findKey(const Section& section, const std::string& key);
    const Pair* findCurrentKey(const std::string& key) const;
    static void setInSection(Section& section, const std::string& key, const std::string& value);

    std::list<Section> m_sections;
    std::list<Section>::iterator m_current;
    std::list<Pair>::iterator m_currentKey;
};
