#pragma once

#include <compare>
#include <cstdint>

namespace vyr::support {

// A signed count of ten-thousandths: track durations in seconds and free-space figures in bytes
// are held with four decimal places, so 5,000,000,000 free bytes are exactly 5e9, not a double.
struct FixedPoint {
    static constexpr std::int64_t kScale = 10'000;

    std::int64_t raw = 0;

    static constexpr FixedPoint FromRaw(std::int64_t raw) { return FixedPoint{raw}; }
    // Saturates rather than wraps: callers pass byte counts far below the 922 TB that fit.
    static constexpr FixedPoint FromWhole(std::int64_t whole)
    {
        constexpr std::int64_t kLimit = INT64_MAX / kScale;
        if (whole > kLimit) return FixedPoint{kLimit * kScale};
        if (whole < -kLimit) return FixedPoint{-kLimit * kScale};
        return FixedPoint{whole * kScale};
    }

    constexpr double ToDouble() const { return static_cast<double>(raw) / kScale; }
    // The whole part, rounded towards zero.
    constexpr std::int64_t Whole() const { return raw / kScale; }
    constexpr bool IsZero() const { return raw == 0; }

    friend constexpr FixedPoint operator-(FixedPoint a, FixedPoint b) { return FixedPoint{a.raw - b.raw}; }
    friend constexpr auto operator<=>(FixedPoint, FixedPoint) = default;
};

}  // namespace vyr::support
