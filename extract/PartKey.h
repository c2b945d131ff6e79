#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vyr::extract {

// This user's mark on the temporaries that a copy names where the file system has no unnamed
// files, so that a later run can tell its own leftovers from everything else: each name carries
// a tag keyed with a secret kept in the user's own state folder. No file that another program,
// another user or an album named can carry it by chance, and a name without it is never
// removed.
class PartKey {
public:
    explicit PartKey(const std::array<std::uint64_t, 2>& secret) : m_secret(secret) {}

    // The key kept in "vyr-extract" under $XDG_STATE_HOME (else ~/.local/state) on Linux, under
    // %LOCALAPPDATA% on Windows, made on first use. Where it can be neither read nor made, a key
    // of this process alone: its temporaries are then left alone by every later run.
    static const PartKey& ForUser();
    // The same key, read only: nothing while this user has none, as then no temporary of theirs
    // carries a tag.
    static std::optional<PartKey> KeptForUser();
    // The key in `folder`, made there when it has none; nothing when it can be neither read nor
    // made. Two runs that make it at once end with the same key.
    static std::optional<PartKey> KeptIn(const std::filesystem::path& folder);

    // ".vyr-part-<pid>-<serial>-<tag>"
    std::string Name(std::uint32_t pid, unsigned serial) const;
    // The pid in a name that Name gives with this key; 0 for every other name.
    std::uint32_t Owner(std::string_view name) const;

private:
    std::uint64_t Tag(std::string_view text) const;

    std::array<std::uint64_t, 2> m_secret;
};

}  // namespace vyr::extract
