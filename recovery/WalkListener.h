#pragma once

#include <cstdint>

namespace vyr::recovery {

// Told how far a walk has got before it reads on; returning false ends the walk there.
class WalkListener {
public:
    virtual ~WalkListener() = default;
    // position: the block's 1-based read position p; length: the file's length L.
    virtual bool OnBlock(std::int64_t position, std::int64_t length) = 0;
};

}  // namespace vyr::recovery
