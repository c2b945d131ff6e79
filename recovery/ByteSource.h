#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vyr::recovery {

// Where the block walk takes its bytes from: a file read by position, or memory in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Length() const = 0;
    // Fills `into` from offset on and returns how many bytes it holds: fewer than asked only at
    // the end of the data, 0 at or past it. nullopt when the read itself failed.
    virtual std::optional<std::size_t> ReadAt(std::int64_t offset, std::span<unsigned char> into) = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Length() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    std::optional<std::size_t> ReadAt(std::int64_t offset, std::span<unsigned char> into) override;

private:
    std::string_view m_bytes;
};

enum class OpenOutcome { Opened, CannotOpen, NotAFile };

// A file opened for reading raw bytes; closed by Close() or at the latest by the destructor.
class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override { Close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    OpenOutcome Open(const std::string& path);
    void Close();
    std::int64_t Length() const override { return m_length; }
    std::optional<std::size_t> ReadAt(std::int64_t offset, std::span<unsigned char> into) override;

private:
    int m_fd = -1;
    std::int64_t m_length = 0;
};

}  // namespace vyr::recovery
