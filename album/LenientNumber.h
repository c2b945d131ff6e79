#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "support/FixedPoint.h"

namespace vyr::album {

// Header numbers are read leniently: spaces, tabs and line feeds are ignored anywhere; then an
// optional sign, digits, an optional point with fraction digits and an optional exponent (E or D)
// are taken up to the first other character; "&H" and "&O" introduce hexadecimal and octal whole
// numbers; text without a number reads as 0. The full stop is the decimal point in every locale.
//
// Both readers round half to even, exactly on the decimal digits (no binary floating point in
// between), and return nothing when the value does not fit.
std::optional<std::int32_t> ReadByteCount(std::string_view text);
std::optional<support::FixedPoint> ReadDuration(std::string_view text);

}  // namespace vyr::album
