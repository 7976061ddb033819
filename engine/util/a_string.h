#pragma once
#include <cstdint>
#include <string>

#include "engine/util/a_rect.h"

// ASCII case-insensitive comparison (assign names, resource keys).
int str_compareNoCase(const std::string& a, const std::string& b);
bool str_equalNoCase(const std::string& a, const std::string& b);

struct aLessNoCase {
    bool operator()(const std::string& a, const std::string& b) const { return str_compareNoCase(a, b) < 0; }
};

// Readers of blank-separated numbers. Each writes only the fields the text
// supplies, leaving the others as the caller set them, and returns how many
// it read. Numbers use the "C" decimal point whatever the locale.
int str_parsePoint(const std::string& text, std::int32_t& x, std::int32_t& y);
int str_parseRect(const std::string& text, aRect& rect);
int str_parseVec2(const std::string& text, float& x, float& y);
