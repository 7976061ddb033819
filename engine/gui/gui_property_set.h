#pragma once
// Named settings of the objects GUI scripts describe (widgets, styles,
// cursors). A script entry stores the raw text of a property; the object
// converts the texts that were set when its section ends.
#include <cstdint>
#include <map>
#include <string>

#include "engine/util/a_rect.h"
#include "engine/util/a_string.h"

namespace GUI {

class PropertySet;

// One property: its last raw text. Records are members of the class that
// declares them; the set only points at them.
class Property {
public:
    std::string value;
    bool isSet = false;

    // Each reader parses `value` with the "C" decimal point; text that does
    // not match gives the default stated.

    // Decimal, 0x hexadecimal or 0 octal, wrapping to 32 bits; 0.
    std::int32_t AsInt() const;
    // AsInt() != 0; false.
    bool AsBool() const;
    // 0.0.
    float AsFloat() const;
    // Hexadecimal with or without 0x, wrapping to 32 bits; 0.
    std::uint32_t AsHex() const;
    // x, y, width, height as AsInt reads them, each cut to 16 bits; missing
    // fields are 0. A negative width or height is logged and becomes 0.
    aRect AsRect() const;
    // Writes only the numbers the text has.
    void AsFloatPair(float& first, float& second) const;
    // Four hexadecimal numbers in the order written; missing ones are 0.
    void AsColor(std::uint32_t out[4]) const;

    const std::string& GetName() const { return m_name; }

private:
    friend class PropertySet;
    std::string m_name;
    const PropertySet* m_owner = nullptr;
};

class PropertySet {
public:
    PropertySet() = default;
    virtual ~PropertySet() = default;
    PropertySet(const PropertySet&) = delete;
    PropertySet& operator=(const PropertySet&) = delete;

    // A null record is ignored; a name already present is logged and kept.
    void AddProperty(const std::string& name, Property* property);
    // Stores the text and marks the property set; unknown names are logged.
    void Set(const std::string& name, const std::string& value);
    // Null when absent.
    Property* GetProperty(const std::string& name) const;

    // Clears every isSet flag.
    virtual void BeginFillProperties();
    // Applies the properties that were set; the base has none.
    virtual void EndFillProperties() {}

    // How log lines name this object ("" when it has no name).
    virtual std::string GetLogName() const { return std::string(); }

private:
    std::map<std::string, Property*, aLessNoCase> m_properties;
};

} // namespace GUI
