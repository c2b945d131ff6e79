#include "extract/mdlTrimFile.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

// One kernel call moves at most this much; with a progress hook, at most one progress step, so
// the hook runs often enough to repaint even on a slow medium.
constexpr std::int64_t kKernelChunk = 64 << 20;
constexpr std::int64_t kSmallestChunk = 1 << 20;
// The fallback's own buffer: memory stays flat whatever the track's length.
constexpr std::size_t kBufferSize = 1 << 20;

std::string ErrnoText(int number) { return std::generic_category().message(number); }

CopyResult Fail(CopyError error, std::string_view text, int number = 0)
{
    std::string what(text);
    if (number != 0) what += ": " + ErrnoText(number);
    return CopyResult{error, number, std::move(what)};
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void Reset(int fd)
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The bytes in flight before they get their name. Unnamed (O_TMPFILE) where the file system
// allows it, so even a killed process leaves nothing behind; otherwise a hidden unique name
// that is unlinked on every way out.
class TempFile {
public:
    explicit TempFile(int folder) : m_folder(folder) {}
    ~TempFile()
    {
        if (!m_name.empty()) ::unlinkat(m_folder, m_name.c_str(), 0);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // errno of the failure, or 0.
    int Create(bool unnamed)
    {
        // Linking an unnamed file by name goes through /proc; without it use a named one.
        if (unnamed && ::access("/proc/self/fd", X_OK) == 0) {
            m_fd.Reset(::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
            if (m_fd.valid()) return 0;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
        }
        static std::atomic<unsigned> serial{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = ".vyr-part-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
            m_fd.Reset(::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (m_fd.valid()) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }

    int fd() const { return m_fd.get(); }

    // Gives the file its final name; never replaces anything there, a link included. errno or 0.
    int Publish(const std::string& name)
    {
        if (m_name.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
            return ::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        }
        if (::renameat2(m_folder, m_name.c_str(), m_folder, name.c_str(), RENAME_NOREPLACE) == 0) {
            m_name.clear();
            return 0;
        }
        // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
        if (errno != EINVAL && errno != ENOSYS) return errno;
        if (::linkat(m_folder, m_name.c_str(), m_folder, name.c_str(), 0) != 0) return errno;
        return 0;  // the destructor unlinks the temporary name
    }

private:
    int m_folder;
    Fd m_fd;
    std::string m_name;
};

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

enum class Route { Splice, CopyRange, SendFile, Buffer };

// A pipe of 1 MiB for splice(2). A track begins wherever the header ends, rarely on a page
// boundary, and the kernel's own copy_file_range moves such a range through a small internal
// pipe a partial page at a time: about a third slower than cp. A large pipe of our own keeps the
// page-cache copy at cp's speed.
class Pipe {
public:
    Pipe()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        m_read.Reset(ends[0]);
        m_write.Reset(ends[1]);
        const int size = ::fcntl(m_write.get(), F_SETPIPE_SZ, 1 << 20);
        m_capacity = static_cast<std::size_t>(size > 0 ? size : ::fcntl(m_write.get(), F_GETPIPE_SZ));
    }
    bool valid() const { return m_read.valid() && m_write.valid() && m_capacity > 0; }

    // Moves up to `want` bytes from the source at `in` to the target. The pipe is emptied before
    // it returns, so a failure never leaves bytes behind in it.
    ssize_t Move(int source, off_t& in, int target, std::size_t want)
    {
        const ssize_t got = ::splice(source, &in, m_write.get(), nullptr, std::min(want, m_capacity), SPLICE_F_MOVE);
        if (got <= 0) return got;
        for (ssize_t left = got; left > 0;) {
            const ssize_t put =
                ::splice(m_read.get(), nullptr, target, nullptr, static_cast<std::size_t>(left), SPLICE_F_MOVE);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                if (put == 0) errno = EIO;
                return -1;
            }
            left -= put;
        }
        return got;
    }

private:
    Fd m_read;
    Fd m_write;
    std::size_t m_capacity = 0;
};

// Streams the range; the kernel copies where it can, else a bounded buffer does.
CopyResult Stream(int source, int target, std::int64_t start, std::int64_t count, const CopyOptions& options)
{
    constexpr std::int64_t kPage = 4096;
    Route route = !options.kernelCopy ? Route::Buffer : start % kPage != 0 ? Route::Splice : Route::CopyRange;
    std::unique_ptr<Pipe> pipe;
    std::vector<char> buffer;
    off_t in = start;
    std::int64_t done = 0;
    const std::int64_t step = std::max<std::int64_t>(options.progressStep, 1);
    std::int64_t nextReport = step;  // at each multiple of the step the copy passes
    const std::int64_t chunk =
        options.progress ? std::clamp(options.progressStep, kSmallestChunk, kKernelChunk) : kKernelChunk;
    while (done < count) {
        const std::int64_t want = std::min(count - done, chunk);
        ssize_t n = 0;
        if (route == Route::Splice) {
            if (!pipe) pipe = std::make_unique<Pipe>();
            n = pipe->valid() ? pipe->Move(source, in, target, static_cast<std::size_t>(want)) : -1;
            if (n < 0 && done == 0 && (!pipe->valid() || errno == EINVAL || errno == ENOSYS)) {
                route = Route::CopyRange;
                continue;
            }
        } else if (route == Route::CopyRange) {
            n = ::copy_file_range(source, &in, target, nullptr, static_cast<std::size_t>(want), 0);
            // Across file systems, or where the kernel cannot: try the next way, but only
            // before the first byte, so nothing is ever written twice.
            if (n < 0 && done == 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                route = Route::SendFile;
                continue;
            }
        } else if (route == Route::SendFile) {
            n = ::sendfile(target, source, &in, static_cast<std::size_t>(want));
            if (n < 0 && done == 0 && (errno == EINVAL || errno == ENOSYS)) {
                route = Route::Buffer;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(kBufferSize);
            n = ::pread(source, buffer.data(), std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(want)),
                        in);
            if (n < 0 && errno != EINTR) return Fail(CopyError::ReadFailed, msg::kReasonRead, errno);
            if (n > 0) {
                if (!WriteAll(target, buffer.data(), static_cast<std::size_t>(n)))
                    return Fail(CopyError::WriteFailed, msg::kReasonWrite, errno);
                in += n;
            }
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(CopyError::WriteFailed, msg::kReasonWrite, errno);
        }
        if (n == 0) return Fail(CopyError::ReadFailed, msg::kReasonAlbumEnded);
        done += n;
        if (options.progress && done >= nextReport) {
            nextReport = (done / step + 1) * step;
            options.progress(done);
        }
    }
    return {};
}

}  // namespace

CopyResult CopyFileRange(const std::string& targetPath, std::int64_t start, std::int64_t count,
                         const std::string& sourcePath, const CopyOptions& options)
{
    if (start < 0 || count <= 0) return Fail(CopyError::BadRange, msg::kReasonBadRange);

    const Fd source(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) return Fail(CopyError::SourceUnreadable, msg::kReasonOpenAlbum, errno);
    struct stat info {};
    if (::fstat(source.get(), &info) != 0) return Fail(CopyError::SourceUnreadable, msg::kReasonOpenAlbum, errno);
    if (!S_ISREG(info.st_mode)) return Fail(CopyError::SourceUnreadable, msg::kReasonNotRegular);
    if (start > info.st_size || count > info.st_size - start) return Fail(CopyError::BadRange, msg::kReasonPastEnd);

    // The folder is held open so every later step names the same folder; a link there is
    // refused rather than followed to wherever it points now.
    // A trailing separator would make the kernel follow a link there, so it goes first.
    const std::string name = support::FileNameFromPath(targetPath);
    if (!support::IsPlainFileName(name)) return Fail(CopyError::BadName, msg::kReasonBadName);
    const std::string folderOfTarget = support::StripTrailingBackslash(support::FolderOfPath(targetPath));
    const std::string folderPath = !folderOfTarget.empty() ? folderOfTarget : targetPath.front() == '/' ? "/" : ".";
    const Fd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        const int number = errno;
        struct stat link {};
        if (::lstat(folderPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return Fail(CopyError::TargetFolderUnusable, msg::kReasonFolderIsLink);
        return Fail(CopyError::TargetFolderUnusable, msg::kReasonOpenFolder, number);
    }
    struct stat existing {};
    if (::fstatat(folder.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return Fail(CopyError::TargetExists, msg::kReasonTargetExists);

    TempFile temp(folder.get());
    if (const int number = temp.Create(options.unnamedTemp); number != 0)
        return Fail(CopyError::CreateFailed, msg::kReasonCreate, number);

    if (CopyResult streamed = Stream(source.get(), temp.fd(), start, count, options); !streamed.Ok()) return streamed;

    if (const int number = temp.Publish(name); number != 0) {
        if (number == EEXIST) return Fail(CopyError::TargetExists, msg::kReasonTargetAppeared);
        return Fail(CopyError::WriteFailed, msg::kReasonPublish, number);
    }
    return {};
}

}  // namespace vyr::extract
