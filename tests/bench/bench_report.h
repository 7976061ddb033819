#pragma once
// The line a benchmark prints for each figure it holds to a limit (lower is
// better); scripts/bench gathers them into one table:
//   figure<TAB>what<TAB>value<TAB>limit<TAB>met|missed
// and the timing that makes a figure of two costs fair on a busy machine.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A figure is a cost over a cost: one that is not above zero (or not a
// number) comes from a side that measured no time or did no work, and
// misses whatever its limit.
inline bool benchFigure(const char* what, double value, double limit)
{
    const bool measured = std::isfinite(value) && value > 0.0;
    if (!measured)
        std::fprintf(stderr, "figure \"%s\" is %g: a side measured no time or did no work\n", what, value);
    const bool met = measured && value <= limit;
    std::printf("figure\t%s\t%.3f\t%.2f\t%s\n", what, value, limit, met ? "met" : "missed");
    std::fflush(stdout);
    return met;
}

inline double benchSeconds(clockid_t clock)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline double benchMedian(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Sides of a figure measured in turns of equal wall time: in each turn every
// side repeats its step for `seconds` of wall time (at least once), the
// order turning round from turn to turn, so a load that comes and goes
// weighs on every side alike whatever one step of each costs. Steps are
// timed by `clock`: the thread's CPU time where the work is all on this
// thread (what other processes take is then not counted), the wall clock
// where it is not (a software rasteriser's threads). `after`, when given,
// runs untimed after every step (emptying a log the steps fill), each step
// then timed alone.
struct BenchTurns {
    // cost[side][turn]: seconds per step in that turn.
    std::vector<std::vector<double>> cost;

    // Median per-step seconds of a side.
    double median(std::size_t side) const { return benchMedian(cost[side]); }
    // The figure: the median over the turns of side a's cost over side b's.
    // Not a number when a side measured no time in a turn, or none was run.
    double ratio(std::size_t a, std::size_t b) const { return combinedRatio(a, {b}); }
    // The same, side a over the sum of several sides in each turn.
    double combinedRatio(std::size_t a, const std::vector<std::size_t>& over) const
    {
        std::vector<double> r;
        for (std::size_t t = 0; t < cost[a].size(); ++t) {
            double sum = 0.0;
            for (std::size_t b : over) {
                if (!(cost[b][t] > 0.0))
                    return std::nan("");
                sum += cost[b][t];
            }
            if (!(cost[a][t] > 0.0))
                return std::nan("");
            r.push_back(cost[a][t] / sum);
        }
        return r.empty() ? std::nan("") : benchMedian(r);
    }
};

inline BenchTurns benchTurns(int turns, double seconds, clockid_t clock,
                             const std::vector<std::function<void()>>& sides,
                             const std::function<void()>& after = nullptr)
{
    BenchTurns out;
    out.cost.resize(sides.size());
    for (int t = 0; t < turns; ++t) {
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const std::size_t s = t % 2 ? sides.size() - 1 - k : k;
            const double wall0 = benchSeconds(CLOCK_MONOTONIC);
            double t0 = benchSeconds(clock), spent = 0.0;
            long steps = 0;
            do {
                sides[s]();
                ++steps;
                if (after) {
                    spent += benchSeconds(clock) - t0;
                    after();
                    t0 = benchSeconds(clock);
                }
            } while (benchSeconds(CLOCK_MONOTONIC) - wall0 < seconds);
            if (!after)
                spent = benchSeconds(clock) - t0;
            out.cost[s].push_back(spent / double(steps));
        }
    }
    return out;
}

// Texts of the same length and words as the one given, each new: its first
// eight small letters count the texts handed out. A font keeps the layouts
// of texts it measured lately, so a baseline of one layout measures a text
// from here, which the font has to lay out whole.
class BenchFreshTexts {
public:
    explicit BenchFreshTexts(std::wstring text) : m_text(std::move(text))
    {
        for (std::size_t i = 0; i < m_text.size() && m_digits.size() < 8; ++i)
            if (m_text[i] >= L'a' && m_text[i] <= L'z')
                m_digits.push_back(i);
    }
    const std::wstring& next()
    {
        for (std::size_t i : m_digits) {
            if (m_text[i] != L'z') {
                ++m_text[i];
                break;
            }
            m_text[i] = L'a';
        }
        return m_text;
    }

private:
    std::wstring m_text;
    std::vector<std::size_t> m_digits;
};
