#include "extract/PartKey.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>

#include "support/Text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vyr::extract {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSecretBytes = 16;
constexpr const char* kKeyFile = "part-key";

std::uint64_t Rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

// SipHash-2-4: a keyed hash made for short inputs, whose tags cannot be told without the key.
std::uint64_t SipHash(const std::array<std::uint64_t, 2>& key, std::string_view text)
{
    std::uint64_t v0 = key[0] ^ 0x736f6d6570736575ULL;
    std::uint64_t v1 = key[1] ^ 0x646f72616e646f6dULL;
    std::uint64_t v2 = key[0] ^ 0x6c7967656e657261ULL;
    std::uint64_t v3 = key[1] ^ 0x7465646279746573ULL;
    const auto round = [&] {
        v0 += v1;
        v1 = Rotate(v1, 13) ^ v0;
        v0 = Rotate(v0, 32);
        v2 += v3;
        v3 = Rotate(v3, 16) ^ v2;
        v0 += v3;
        v3 = Rotate(v3, 21) ^ v0;
        v2 += v1;
        v1 = Rotate(v1, 17) ^ v2;
        v2 = Rotate(v2, 32);
    };
    const auto mix = [&](std::uint64_t word) {
        v3 ^= word;
        round();
        round();
        v0 ^= word;
    };
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i)
            word = (word << 8) | static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
        mix(word);
    }
    std::uint64_t last = static_cast<std::uint64_t>(text.size() & 0xFF) << 56;
    for (std::size_t i = text.size(); i > at; --i)
        last |= std::uint64_t{static_cast<unsigned char>(text[i - 1])} << (8 * (i - 1 - at));
    mix(last);
    v2 ^= 0xFF;
    for (int i = 0; i < 4; ++i) round();
    return v0 ^ v1 ^ v2 ^ v3;
}

std::optional<PartKey> ReadKey(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, kSecretBytes + 1> bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(kSecretBytes)) return std::nullopt;
    std::array<std::uint64_t, 2> secret{};
    for (std::size_t i = 0; i < kSecretBytes; ++i) secret[i / 8] = (secret[i / 8] << 8) | bytes[i];
    return PartKey(secret);
}

std::optional<fs::path> StateFolder()
{
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return std::nullopt;
    return fs::path(folder) / L"vyr-extract";
#else
    // Only an absolute path counts, as the XDG rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return fs::path(state) / "vyr-extract";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return fs::path(home) / ".local" / "state" / "vyr-extract";
    return std::nullopt;
#endif
}

}  // namespace

const PartKey& PartKey::ForUser()
{
    static const PartKey key = [] {
        if (const std::optional<fs::path> folder = StateFolder())
            if (std::optional<PartKey> kept = KeptIn(*folder)) return *kept;
        std::random_device random;
        return PartKey({(std::uint64_t{random()} << 32) | random(), (std::uint64_t{random()} << 32) | random()});
    }();
    return key;
}

std::optional<PartKey> PartKey::KeptForUser()
{
    const std::optional<fs::path> folder = StateFolder();
    return folder ? ReadKey(*folder / kKeyFile) : std::nullopt;
}

std::optional<PartKey> PartKey::KeptIn(const fs::path& folder)
{
    const fs::path file = folder / kKeyFile;
    if (std::optional<PartKey> key = ReadKey(file)) return key;
    std::error_code error;
    fs::create_directories(folder, error);
    // Written in full under a name of its own, then linked into place, which fails when another
    // run was first: every run then reads the one key that won.
    std::random_device random;
    std::array<char, kSecretBytes> bytes{};
    for (char& byte : bytes) byte = static_cast<char>(random());
    const fs::path draft = folder / ("part-key." + std::to_string(random()));
    {
        std::ofstream out(draft, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(draft, error);
            return std::nullopt;
        }
    }
    fs::permissions(draft, fs::perms::owner_read | fs::perms::owner_write, error);
    fs::create_hard_link(draft, file, error);
    if (error && !fs::exists(file, error)) fs::rename(draft, file, error);
    fs::remove(draft, error);
    return ReadKey(file);
}

std::string PartKey::Name(std::uint32_t pid, unsigned serial) const
{
    const std::string id = std::to_string(pid) + "-" + std::to_string(serial);
    char tag[17];
    std::uint64_t value = Tag(id);
    for (int i = 15; i >= 0; --i, value >>= 4) tag[i] = "0123456789abcdef"[value & 15];
    tag[16] = '\0';
    return std::string(support::kPartPrefix) + id + "-" + tag;
}

std::uint32_t PartKey::Owner(std::string_view name) const
{
    if (!name.starts_with(support::kPartPrefix)) return 0;
    const std::string_view rest = name.substr(support::kPartPrefix.size());
    std::uint32_t pid = 0;
    unsigned serial = 0;
    const char* end = rest.data() + rest.size();
    const auto [afterPid, pidError] = std::from_chars(rest.data(), end, pid);
    if (pidError != std::errc() || pid == 0 || afterPid == end || *afterPid != '-') return 0;
    const auto [afterSerial, serialError] = std::from_chars(afterPid + 1, end, serial);
    if (serialError != std::errc()) return 0;
    // The whole name must be the one this key gives: no other digits, no other tag.
    return Name(pid, serial) == name ? pid : 0;
}

std::uint64_t PartKey::Tag(std::string_view text) const { return SipHash(m_secret, text); }

}  // namespace vyr::extract
