#pragma once
// The line a benchmark prints for each figure it holds to a limit (lower is
// better); scripts/bench gathers them into one table:
//   figure<TAB>what<TAB>value<TAB>limit<TAB>met|missed
#include <cstdio>

inline bool benchFigure(const char* what, double value, double limit)
{
    const bool met = value <= limit;
    std::printf("figure\t%s\t%.3f\t%.2f\t%s\n", what, value, limit, met ? "met" : "missed");
    std::fflush(stdout);
    return met;
}
