#pragma once
// Holds presented frames to the display's refresh rate when the driver does
// not, whatever swap interval was asked for: a swap that waited for a
// vertical blank is taken as one; otherwise the frame waits until a refresh
// period has passed since the last blank.
// A frame with nothing new to show waits for the next blank, as a swap with
// vsync would. Real time only: nothing here feeds the game's state.
#include <chrono>

namespace platform {

// Real time as pacing sees it; tests put in their own.
class PaceClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~PaceClock() = default;
    virtual TimePoint now() = 0;
    virtual void sleepUntil(TimePoint when) = 0;
};

// The steady clock and the thread's sleep.
PaceClock& steadyPaceClock();

class FramePacer {
public:
    using TimePoint = PaceClock::TimePoint;

    explicit FramePacer(PaceClock& clock = steadyPaceClock()) : m_clock(&clock) {}
    void setClock(PaceClock& clock) { m_clock = &clock; }
    PaceClock& clock() const { return *m_clock; }

    // The refresh rate in Hz; 0 or less: unknown, taken as 60.
    void setRefreshRate(int hz);
    // The next frame starts the blanks anew, and whether swaps wait is
    // measured again (the swap interval or the display changed).
    void restart();
    std::chrono::nanoseconds period() const { return m_period; }

    // Whether the driver's swap waits for the display, as the swaps since
    // the last restart showed; unknown until enough of them came early
    // enough before a blank to tell.
    enum class SwapWaits { Unknown, Yes, No };
    SwapWaits swapWaits() const { return m_swapWaits; }
    // Swaps that tell, of which at least half waited: the swap waits.
    static constexpr int kTellingSwaps = 8;

    // A frame was shown by a swap (or, not swapped, by a copy) that ran
    // from `start` to `end`. Returns once the frame may count as shown at
    // a blank of its own.
    void shown(TimePoint start, TimePoint end, bool swapped = true);
    // A frame with nothing new: returns at the next blank.
    void nothingShown();

private:
    PaceClock* m_clock;
    std::chrono::nanoseconds m_period{1000000000 / 60};
    bool m_known = false;
    TimePoint m_lastBlank;
    SwapWaits m_swapWaits = SwapWaits::Unknown;
    int m_telling = 0;
    int m_waited = 0;
};

} // namespace platform
