#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "recovery/BlockWalk.h"
#include "recovery/HeaderNames.h"

namespace vyr::test {

// The block walk read literally: every block copied out and searched byte by byte for every
// pattern. Slow, and simple enough to check by eye; the fast walk must agree with it exactly.
inline recovery::WalkResult NaiveWalk(std::string_view file, int maxRows = 32'767)
{
    using std::int64_t;
    const auto length = static_cast<int64_t>(file.size());
    const auto byteAt = [&](int64_t offset) {
        return offset >= 0 && offset < length ? file[static_cast<std::size_t>(offset)] : '\0';
    };
    // 1-based index of the first occurrence at or after index `from`, or 0.
    const auto find = [](const std::string& block, std::string_view pattern, int64_t from = 1) -> int64_t {
        const auto at = block.find(pattern, static_cast<std::size_t>(from - 1));
        return at == std::string::npos ? 0 : static_cast<int64_t>(at) + 1;
    };
    const std::string sync = "\xFF\xFB";

    recovery::WalkResult result;
    result.fileLength = length;
    int64_t headerLength = 0;
    int64_t previous = 0;
    int64_t p = 1;
    bool backedUp = false;
    const auto record = [&](int64_t b) {
        auto& counts = result.byteCounts;
        if (counts[0] != 0) {
            if (static_cast<int>(counts.size()) >= maxRows) return false;
            counts.push_back(0);
        }
        if (counts.size() == 1) {
            counts.back() = b > headerLength ? b - headerLength : b;
            result.dataBase = b > headerLength ? headerLength : 0;
        } else {
            counts.back() = b - previous;
        }
        if (b > length) counts.back() -= b - length;
        previous = b;
        result.boundaries.push_back(b);
        return true;
    };

    while (p < length) {
        const int64_t size = p + 512 <= length ? 512 : length + 512 - p;
        std::string block(static_cast<std::size_t>(size), '\0');
        for (int64_t i = 0; i < size; ++i) block[static_cast<std::size_t>(i)] = byteAt(p - 1 + i);

        if (!result.syncFound) {
            if (const int64_t s = find(block, sync); s != 0) {
                result.syncFound = true;
                headerLength = p + s - 2;
            }
        }
        bool backUpWanted = false;
        if (const int64_t t = find(block, "TAG"); t != 0) {
            p += t;
            bool text = true;
            for (int64_t k = 0; k < 123; ++k)
                if (static_cast<unsigned char>(byteAt(p + 1 + k)) > 126) text = false;
            if (text && !record(p + 126)) {
                result.outcome = recovery::WalkOutcome::TooManyRows;
                break;
            }
        } else {
            int64_t i = find(block, std::string_view("ID3\x03", 4));
            for (const std::string_view vbr : {"Info", "VBRI", "Xing"}) {
                if (i != 0) break;
                const int64_t j = find(block, vbr);
                if (j == 0) continue;
                i = j <= 36 ? j : find(block, sync, j - 36);
            }
            if (i != 0 && p > 1) {
                p = p + i - 2;
                if (!record(p)) {
                    result.outcome = recovery::WalkOutcome::TooManyRows;
                    break;
                }
            } else if (!backedUp) {
                backUpWanted = true;
            }
        }
        if (backUpWanted && p > 5) {
            p -= 5;
            backedUp = true;
        } else {
            p += 512;
            backedUp = false;
        }
    }
    if (result.outcome == recovery::WalkOutcome::Completed && !result.boundaries.empty() && previous < length) {
        if (static_cast<int>(result.byteCounts.size()) >= maxRows)
            result.outcome = recovery::WalkOutcome::TooManyRows;
        else
            result.byteCounts.push_back(length - previous);
    }
    result.headerLength = headerLength;
    recovery::HeaderNames names;
    names.Feed(file.substr(0, result.syncFound ? static_cast<std::size_t>(headerLength) + 1 : file.size()));
    result.headerNames = names.Names();
    result.tooManyNames = names.Overflowed();
    return result;
}

}  // namespace vyr::test
