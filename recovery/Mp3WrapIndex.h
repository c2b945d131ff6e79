#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vyr::recovery {

// The index that mp3wrap writes right after its own ID3v2 tag: "WRAP", two version digits, a
// byte, the file count, a CRC, then per file its start (counted from the index's first byte)
// and its NUL-ended name, then the end of the last file. The wrapped files follow unchanged;
// mp3wrap appends one byte of its own after them.
struct Mp3WrapIndex {
    struct Entry {
        std::int64_t offset = 0;  // in the file
        std::int64_t byteCount = 0;
        std::string name;  // as stored: the path mp3wrap was given, raw bytes
    };

    std::vector<Entry> entries;

    // bytes: from the index's first byte on; base: that byte's offset in the file; fileLength
    // bounds every range. Nothing unless the index is whole and its ranges follow each other
    // inside the file.
    static std::optional<Mp3WrapIndex> Parse(std::span<const unsigned char> bytes, std::int64_t base,
                                             std::int64_t fileLength);
};

}  // namespace vyr::recovery
