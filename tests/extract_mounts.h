#pragma once

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/TestFiles.h"

namespace vyr::test {

#ifndef _WIN32
// A small tmpfs of its own, for a full disk or a read-only folder that root cannot write
// either (root ignores permission bits). Mounting needs root; without it IsMounted() is false
// and the test skips.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& options)
    {
        if (::geteuid() != 0) return;
        m_mounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallTmpfs()
    {
        if (m_mounted) ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    // Remounts read-only, keeping what was written.
    bool MakeReadOnly()
    {
        return m_mounted && ::mount("tmpfs", m_dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    bool IsMounted() const { return m_mounted; }
    std::string folder() const { return m_dir.folder(); }
    std::string operator/(std::string_view name) const { return m_dir / name; }

private:
    TempDir m_dir;
    bool m_mounted = false;
};
#endif

// Every entry of a folder, hidden ones included: a failed copy must leave nothing behind.
inline std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ReadFile for files of many MiB: one read instead of a character at a time.
inline std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

}  // namespace vyr::test
