#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>

namespace vyr::support {

// A lookup table for a byte shuffle that tells a few chosen bytes from all others in one shuffle
// and one compare: a byte is one of them when the table entry at its low nibble is the byte
// itself. That needs chosen bytes with low nibbles of their own, below 0x80 (FitsNibbleTable).
// Unused entries hold a byte of another low nibble, and bytes from 0x80 on look up 0, so neither
// ever matches. The shuffles look up within each 16-byte lane, so the table stands once per lane:
// Size is the vector's width in bytes.
template <std::size_t Size>
constexpr std::array<unsigned char, Size> NibbleTable(std::span<const unsigned char> bytes)
{
    static_assert(Size % 16 == 0);
    std::array<unsigned char, Size> table{};
    for (std::size_t k = 0; k < Size; ++k) table[k] = static_cast<unsigned char>(0x70 | (((k & 0x0F) + 1) & 0x0F));
    for (std::size_t lane = 0; lane < Size; lane += 16)
        for (const unsigned char b : bytes) table[lane + (b & 0x0F)] = b;
    return table;
}

template <std::size_t Size>
constexpr std::array<unsigned char, Size> NibbleTable(std::initializer_list<unsigned char> bytes)
{
    return NibbleTable<Size>(std::span(bytes.begin(), bytes.size()));
}

constexpr bool FitsNibbleTable(std::span<const unsigned char> bytes)
{
    for (const unsigned char a : bytes) {
        if (a >= 0x80) return false;
        for (const unsigned char b : bytes)
            if (a != b && (a & 0x0F) == (b & 0x0F)) return false;
    }
    return true;
}

}  // namespace vyr::support
