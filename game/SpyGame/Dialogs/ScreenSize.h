#pragma once
// The logical screen the overlays lay themselves out on: the graphics
// server's back buffer, or 1024 x 768 before there is one.
#include <cstdint>

struct CScreenSize {
    std::int32_t width = 1024;
    std::int32_t height = 768;
};

CScreenSize GetScreenSize();
