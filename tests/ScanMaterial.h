#pragma once

#include <cstddef>
#include <string>

namespace vyr::test {

// The bytes the classic scan looks for, built by hand so a test shows exactly where each
// marker lies.

inline const std::string kSync = "\xFF\xFB";

// An ID3v1 tag whose 123 bytes after "TAG" are text, so it ends a part.
inline std::string TextTag() { return "TAG" + std::string(125, 'b'); }

// A part as an encoder leaves it: frames from the first byte, an ID3v1 tag at the end.
inline std::string TaggedPart(std::size_t size, char fill = 'c')
{
    return kSync + std::string(size - kSync.size() - 128, fill) + TextTag();
}

}  // namespace vyr::test
