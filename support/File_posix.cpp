#include "support/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace vyr::support {

namespace {

OpenError KindError(mode_t mode)
{
    if (S_ISDIR(mode)) return OpenError::Folder;
    if (S_ISFIFO(mode)) return OpenError::Fifo;
    if (S_ISSOCK(mode)) return OpenError::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return OpenError::Device;
    return OpenError::NotRegular;
}

}  // namespace

File::File(File&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_length(std::exchange(other.m_length, 0)) {}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

OpenResult File::Open(const std::string& path)
{
    Close();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever. A
    // regular file ignores the flag; it is cleared anyway so no read ever sees it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // A socket cannot be opened at all ("No such device or address"): say what it is instead.
        const int number = errno;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return OpenResult{KindError(info.st_mode), 0};
        return OpenResult{OpenError::CannotOpen, number};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int number = errno;
        ::close(fd);
        return OpenResult{OpenError::CannotOpen, number};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return OpenResult{KindError(info.st_mode), 0};
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_length = static_cast<std::int64_t>(info.st_size);
    return {};
}

void File::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_length = 0;
}

IoResult File::ReadAt(std::int64_t offset, std::span<unsigned char> into)
{
    if (m_fd < 0) return IoResult{0, EBADF};
    if (offset < 0) return IoResult{0, EINVAL};
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got = ::pread(m_fd, into.data() + done, into.size() - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return IoResult{done, errno};
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return IoResult{done, 0};
}

void File::ExpectSequentialReads() const
{
    if (m_fd >= 0) ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

Folder::Folder(Folder&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

OpenResult Folder::Open(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int number = errno;
        struct stat info {};
        if (number == ENOTDIR && ::stat(path.c_str(), &info) == 0) return OpenResult{OpenError::NotFolder, 0};
        return OpenResult{OpenError::CannotOpen, number};
    }
    m_fd = fd;
    return {};
}

void Folder::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool Folder::HasEntry(const std::string& name) const
{
    struct stat info {};
    return m_fd >= 0 && ::fstatat(m_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool Folder::HasNonEmptyFile(const std::string& name) const
{
    struct stat info {};
    return m_fd >= 0 && ::fstatat(m_fd, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace vyr::support
