#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace vyr::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("vyr-test-" + std::to_string(seed()));
            if (std::filesystem::create_directory(m_path)) break;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as the commands hold it: with a trailing separator.
    std::string folder() const
    {
        return m_path.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string operator/(std::string_view name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that differ from position to position, so a range taken from the wrong offset shows.
inline std::string PatternBytes(std::size_t count, unsigned seed = 1)
{
    std::string bytes(count, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

}  // namespace vyr::test
