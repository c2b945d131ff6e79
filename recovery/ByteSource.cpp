#include "recovery/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vyr::recovery {

std::optional<std::size_t> MemorySource::ReadAt(std::int64_t offset, std::span<unsigned char> into)
{
    if (offset < 0) return std::nullopt;
    if (offset >= Length()) return 0;
    const auto start = static_cast<std::size_t>(offset);
    const std::size_t count = std::min(into.size(), m_bytes.size() - start);
    std::memcpy(into.data(), m_bytes.data() + start, count);
    return count;
}

OpenOutcome FileSource::Open(const std::string& path)
{
    Close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return OpenOutcome::CannotOpen;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Close();
        return OpenOutcome::NotAFile;
    }
    m_length = static_cast<std::int64_t>(info.st_size);
    // The walk reads front to back; a larger read-ahead keeps the disk ahead of it.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return OpenOutcome::Opened;
}

void FileSource::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

std::optional<std::size_t> FileSource::ReadAt(std::int64_t offset, std::span<unsigned char> into)
{
    if (m_fd < 0 || offset < 0) return std::nullopt;
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got = ::pread(m_fd, into.data() + done, into.size() - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace vyr::recovery
