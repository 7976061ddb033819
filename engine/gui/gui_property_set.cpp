#include "engine/gui/gui_property_set.h"

#include <cmath>

#include "engine/util/a_log.h"

namespace GUI {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

bool hexPrefix(const char* q) { return q[0] == '0' && (q[1] == 'x' || q[1] == 'X') && digitValue(q[2]) < 16; }

// One number as scanf's %i (base 0) or %x (base 16) reads it into a 32-bit
// field: blanks, a sign, the digits; the value wraps modulo 2^32. False,
// and p unchanged, when no digit follows.
bool scanInteger(const char*& p, std::uint32_t& out, int base)
{
    const char* q = p;
    while (isBlank(*q))
        ++q;
    bool negative = false;
    if (*q == '+' || *q == '-')
        negative = *q++ == '-';
    if (base == 0)
        base = hexPrefix(q) ? 16 : (*q == '0' ? 8 : 10);
    if (base == 16 && hexPrefix(q))
        q += 2;
    std::uint32_t value = 0;
    const char* digits = q;
    for (int d; (d = digitValue(*q)) < base; ++q)
        value = value * std::uint32_t(base) + std::uint32_t(d);
    if (q == digits)
        return false;
    out = negative ? 0u - value : value;
    p = q;
    return true;
}

// Only finite numbers count as read: a NaN or an overflow would reach
// integer conversions downstream.
int scanFloats(const std::string& text, float& a, float& b)
{
    float x = 0.0f, y = 0.0f;
    const int n = str_parseVec2(text, x, y);
    int got = 0;
    if (n >= 1 && std::isfinite(x)) {
        a = x;
        got = 1;
        if (n >= 2 && std::isfinite(y)) {
            b = y;
            got = 2;
        }
    }
    return got;
}

} // namespace

std::int32_t Property::AsInt() const
{
    const char* p = value.c_str();
    std::uint32_t v = 0;
    scanInteger(p, v, 0);
    return std::int32_t(v);
}

bool Property::AsBool() const { return AsInt() != 0; }

float Property::AsFloat() const
{
    float v = 0.0f, unused = 0.0f;
    scanFloats(value, v, unused);
    return v;
}

std::uint32_t Property::AsHex() const
{
    const char* p = value.c_str();
    std::uint32_t v = 0;
    scanInteger(p, v, 16);
    return v;
}

aRect Property::AsRect() const
{
    std::int16_t fields[4] = {0, 0, 0, 0};
    const char* p = value.c_str();
    for (std::int16_t& f : fields) {
        std::uint32_t v = 0;
        if (!scanInteger(p, v, 0))
            break;
        f = std::int16_t(std::uint16_t(v));
    }
    if (fields[2] < 0 || fields[3] < 0) {
        a_log("PropertySet::AsRect - '%s' property '%s': negative size in \"%s\", 0 used",
              m_owner ? m_owner->GetLogName().c_str() : "", m_name.c_str(), value.c_str());
        for (int i = 2; i < 4; ++i)
            if (fields[i] < 0)
                fields[i] = 0;
    }
    return aRect(fields[0], fields[1], std::uint16_t(fields[2]), std::uint16_t(fields[3]));
}

void Property::AsFloatPair(float& first, float& second) const { scanFloats(value, first, second); }

void Property::AsColor(std::uint32_t out[4]) const
{
    const char* p = value.c_str();
    for (int i = 0; i < 4; ++i)
        out[i] = 0;
    for (int i = 0; i < 4 && scanInteger(p, out[i], 16); ++i) {
    }
}

void PropertySet::AddProperty(const std::string& name, Property* property)
{
    if (!property)
        return;
    if (m_properties.count(name)) {
        a_log("PropertySet::AddProperty - property '%s' already exists", name.c_str());
        return;
    }
    property->m_name = name;
    property->m_owner = this;
    m_properties.emplace(name, property);
}

void PropertySet::Set(const std::string& name, const std::string& value)
{
    Property* p = GetProperty(name);
    if (!p) {
        a_log("PropertySet::Set - property '%s' not found", name.c_str());
        return;
    }
    p->value = value;
    p->isSet = true;
}

Property* PropertySet::GetProperty(const std::string& name) const
{
    const auto it = m_properties.find(name);
    return it == m_properties.end() ? nullptr : it->second;
}

void PropertySet::BeginFillProperties()
{
    for (auto& entry : m_properties)
        entry.second->isSet = false;
}

} // namespace GUI
