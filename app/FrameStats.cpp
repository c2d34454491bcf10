// Frame-interval statistics: the intervals kept whole for the percentiles, the costs summed by second.
#include "app/FrameStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace blubbi {

void TFrameStats::Interval(double intervalMs) {
    if (!(intervalMs >= 0)) return;
    Intervals.push_back(static_cast<float>(intervalMs));
    DroppedTicks += std::max<int64_t>(0, std::llround(intervalMs / kPeriodMs) - 1);
    ++Ticks;
    WindowMs += intervalMs;
    if (WindowMs < 1000.0) return;
    Shown.Fps = Ticks * 1000.0 / WindowMs;
    Shown.LogicMs = Frames ? LogicSum / Frames : 0;
    Shown.ComposeMs = Frames ? ComposeSum / Frames : 0;
    Shown.PresentMs = (Frames ? CopySum / Frames : 0) + (Paints ? PaintSum / Paints : 0);
    WindowMs = 0;
    Ticks = Frames = Paints = 0;
    LogicSum = ComposeSum = CopySum = PaintSum = 0;
}

void TFrameStats::Frame(double workMs, double composeMs, double copyMs) {
    ++Frames;
    LogicSum += std::max(0.0, workMs - composeMs - copyMs);
    ComposeSum += composeMs;
    CopySum += copyMs;
}

void TFrameStats::Painted(double ms) {
    ++Paints;
    PaintSum += ms;
}

TFrameStats::TSummary TFrameStats::Summary() const {
    TSummary s;
    s.Count = static_cast<int64_t>(Intervals.size());
    s.Dropped = DroppedTicks;
    if (Intervals.empty()) return s;
    std::vector<float> sorted = Intervals;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (const float v : sorted) sum += v;
    s.MeanMs = sum / static_cast<double>(sorted.size());
    // Nearest rank: the smallest interval that at least p of all intervals do not exceed.
    auto rank = [&](double p) {
        const auto n = static_cast<double>(sorted.size());
        const auto i = static_cast<size_t>(std::max(1.0, std::ceil(p * n))) - 1;
        return static_cast<double>(sorted[std::min(i, sorted.size() - 1)]);
    };
    s.P50Ms = rank(0.50);
    s.P99Ms = rank(0.99);
    s.MaxMs = sorted.back();
    return s;
}

std::string TFrameStats::Json() const {
    const TSummary s = Summary();
    char text[256];
    std::snprintf(text, sizeof text,
                  "{\"count\": %lld, \"mean_ms\": %.3f, \"p50_ms\": %.3f, \"p99_ms\": %.3f, \"max_ms\": %.3f, "
                  "\"dropped\": %lld, \"presenter\": \"%s\"}\n",
                  static_cast<long long>(s.Count), s.MeanMs, s.P50Ms, s.P99Ms, s.MaxMs,
                  static_cast<long long>(s.Dropped), Presenter.c_str());
    return text;
}

}  // namespace blubbi
