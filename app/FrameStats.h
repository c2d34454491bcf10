// TFrameStats: how evenly the frame timer ticks and what each frame costs, for the F12 overlay and
// the statistics file named by BLUBBI_FRAME_STATS.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace blubbi {

class TFrameStats {
public:
    using TClock = std::chrono::steady_clock;
    static double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

    // The frame timer's period; an interval that spans n periods (rounded) lost n - 1 ticks.
    static constexpr double kPeriodMs = 25.0;

    // A tick of the frame timer `intervalMs` after the one before (the first tick has none).
    void Interval(double intervalMs);
    // What one tick cost: the whole tick's work, of it the drawing into pictures (composition)
    // and the copying onto the paint box; what is left of the work is the game's logic.
    void Frame(double workMs, double composeMs, double copyMs);
    // The paint box showing the picture on the screen (its paint event).
    void Painted(double ms);

    struct TSummary {
        int64_t Count = 0;  // intervals
        double MeanMs = 0, P50Ms = 0, P99Ms = 0, MaxMs = 0;
        int64_t Dropped = 0;  // ticks lost between the intervals
    };
    TSummary Summary() const;
    // The summary as one JSON object, as the statistics file holds it.
    std::string Json() const;
    // How the pictures reached the screen: "card" or "painter" (see TPaintBox::Refresh).
    std::string Presenter = "painter";

    // The last second's averages, for the overlay: ticks per second and milliseconds per frame.
    struct TRecent {
        double Fps = 0, LogicMs = 0, ComposeMs = 0, PresentMs = 0;
    };
    const TRecent& Recent() const { return Shown; }
    int64_t Dropped() const { return DroppedTicks; }

private:
    std::vector<float> Intervals;
    int64_t DroppedTicks = 0;
    // The second being summed up, and the one shown.
    double WindowMs = 0;
    int Ticks = 0, Frames = 0, Paints = 0;
    double LogicSum = 0, ComposeSum = 0, CopySum = 0, PaintSum = 0;
    TRecent Shown;
};

}  // namespace blubbi
