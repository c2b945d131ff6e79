#pragma once

#include <cstdint>

namespace vyr::recovery {

// Told how far a walk has got before it reads on; returning false ends the walk there.
class WalkListener {
public:
    // Read positions [first, last] around one position: a listener told of any of them would do
    // the same as for that one.
    struct Stretch {
        std::int64_t first = 0;
        std::int64_t last = 0;
    };

    virtual ~WalkListener() = default;
    // position: the block's 1-based read position p; length: the file's length L.
    virtual bool OnBlock(std::int64_t position, std::int64_t length) = 0;
    // Where the walk may read several blocks after one report, it reads on without telling the
    // listener as far as this stretch reaches. By default every position is told.
    virtual Stretch QuietStretch(std::int64_t position, std::int64_t /*length*/) { return {position, position}; }
};

}  // namespace vyr::recovery
