#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>
#include <vector>

#include "extract/SystemCalls.h"
#include "extract/mdlTrimFilePlatform.h"
#include "support/Messages.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

// One kernel call moves at most this much; with a progress hook, at most one progress step, so
// the hook runs often enough to repaint even on a slow medium.
constexpr std::int64_t kKernelChunk = 64 << 20;
constexpr std::int64_t kSmallestChunk = 1 << 20;
// The fallback's own buffer: memory stays flat whatever the track's length.
constexpr std::size_t kBufferSize = 1 << 20;

CopyResult Fail(CopyError error, std::string_view text, int number = 0) { return CopyFailure(error, text, number); }

const SystemCalls& CallsOf(const CopyOptions& options) { return options.calls ? *options.calls : RealSystemCalls(); }

// A descriptor closed on every way out; Close() reports what the close said.
class Fd {
public:
    Fd(const SystemCalls& calls, int fd = -1) : m_calls(calls), m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void Reset(int fd)
    {
        Close();
        m_fd = fd;
    }
    // errno of a failed close, or 0. The descriptor is gone either way.
    int Close()
    {
        if (m_fd < 0) return 0;
        const int result = m_calls.Close(std::exchange(m_fd, -1));
        return result == 0 || errno == EINTR ? 0 : errno;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    const SystemCalls& m_calls;
    int m_fd;
};

// The bytes in flight before they get their name. Unnamed (O_TMPFILE) where the file system
// allows it, so even a killed process leaves nothing behind; otherwise a hidden unique name
// that is unlinked on every way out.
class TempFile final : public Temporary {
public:
    TempFile(const SystemCalls& calls, int folder) : m_calls(calls), m_folder(folder), m_fd(calls) {}
    ~TempFile() override
    {
        m_fd.Close();
        if (!m_name.empty()) m_calls.UnlinkAt(m_folder, m_name.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // errno of the failure, or 0.
    int Create(bool unnamed)
    {
        // Linking an unnamed file by name goes through /proc; without it use a named one.
        if (unnamed && ::access("/proc/self/fd", X_OK) == 0) {
            m_fd.Reset(m_calls.OpenAt(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
            if (m_fd.valid()) return 0;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
        }
        static std::atomic<unsigned> serial{0};
        const PartKey& key = PartKey::ForUser();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = key.Name(static_cast<std::uint32_t>(::getpid()), serial++);
            m_fd.Reset(
                m_calls.OpenAt(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (m_fd.valid()) {
                m_name = name;
                // Held while the bytes are in flight, so that no clean-up takes the file from under
                // a writer that still runs, here or on another machine that shares the folder.
                // Without locks on the file system the clean-up cannot take one either.
                struct flock lock {};
                lock.l_type = F_WRLCK;
                ::fcntl(m_fd.get(), F_OFD_SETLK, &lock);
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }

    int fd() const { return m_fd.get(); }

    // Gives the file its final name; never replaces anything there, a link included. The
    // descriptor is closed on the way and its close checked: network file systems report
    // write errors there. errno or 0; on failure the name is not taken.
    int Publish(const std::string& name)
    {
        if (m_name.empty()) {
            // An unnamed file is linked through its descriptor, so it closes after. Network file
            // systems, whose close can fail, have no unnamed files and take the named way.
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
            if (m_calls.LinkAt(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0) return errno;
            if (const int number = m_fd.Close(); number != 0) {
                m_calls.UnlinkAt(m_folder, name.c_str());
                return number;
            }
            return 0;
        }
        if (const int number = m_fd.Close(); number != 0) return number;
        if (m_calls.RenameNoReplace(m_folder, m_name.c_str(), m_folder, name.c_str()) == 0) {
            m_name.clear();
            return 0;
        }
        // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
        if (errno != EINVAL && errno != ENOSYS) return errno;
        if (m_calls.LinkAt(m_folder, m_name.c_str(), m_folder, name.c_str(), 0) != 0) return errno;
        return 0;  // the destructor unlinks the temporary name
    }

private:
    const SystemCalls& m_calls;
    int m_folder;
    Fd m_fd;
    std::string m_name;
};

// A pipe of 1 MiB for splice(2). A track begins wherever the header ends, rarely on a page
// boundary, and the kernel's own copy_file_range moves such a range through a small internal
// pipe a partial page at a time: about a third slower than cp. A large pipe of our own keeps the
// page-cache copy at cp's speed.
struct Pipe {
    explicit Pipe(const SystemCalls& calls) : read(calls), write(calls)
    {
        int ends[2];
        if (calls.Pipe(ends) != 0) return;
        read.Reset(ends[0]);
        write.Reset(ends[1]);
        const int size = ::fcntl(write.get(), F_SETPIPE_SZ, 1 << 20);
        capacity = static_cast<std::size_t>(std::max(size > 0 ? size : ::fcntl(write.get(), F_GETPIPE_SZ), 0));
    }
    bool valid() const { return read.valid() && write.valid() && capacity > 0; }

    Fd read;
    Fd write;
    std::size_t capacity = 0;
};

enum class Route { Splice, CopyRange, Buffer };

// What one step of a route did: moved bytes (or was interrupted), found its route unusable
// here, or failed for good.
enum class Step { Moved, Unusable, Failed };

// Moves `count` bytes from `start` of the source to the same place less `start` in the target.
// Every step names both offsets from `m_done`, the bytes known to be in the target, so a route
// given up half way leaves no shared file position behind and the next one resumes at exactly
// the byte the last one reached.
class Copier {
public:
    Copier(const SystemCalls& calls, int source, int target, std::int64_t start, std::int64_t count)
        : m_calls(calls), m_source(source), m_target(target), m_start(start), m_count(count)
    {
    }

    CopyResult Run(const CopyOptions& options);

private:
    Step SpliceStep(std::size_t want);
    Step RangeStep(std::size_t want);
    Step BufferStep(std::size_t want);
    Step Fails(CopyError error, std::string_view text, int number)
    {
        m_failure = Fail(error, text, number);
        return Step::Failed;
    }
    off_t SourceAt() const { return static_cast<off_t>(m_start + m_done); }

    const SystemCalls& m_calls;
    int m_source;
    int m_target;
    std::int64_t m_start;
    std::int64_t m_count;
    std::int64_t m_done = 0;
    std::unique_ptr<Pipe> m_pipe;
    std::vector<char> m_buffer;
    CopyResult m_failure;
};

CopyResult Copier::Run(const CopyOptions& options)
{
    constexpr std::int64_t kPage = 4096;
    Route route = !options.kernelCopy ? Route::Buffer : m_start % kPage != 0 ? Route::Splice : Route::CopyRange;
    const std::int64_t step = std::max<std::int64_t>(options.progressStep, 1);
    std::int64_t nextReport = step;  // at each multiple of the step the copy passes
    const std::int64_t chunk =
        options.progress ? std::clamp(options.progressStep, kSmallestChunk, kKernelChunk) : kKernelChunk;
    while (m_done < m_count) {
        if (options.stopRequested && options.stopRequested()) return Fail(CopyError::Stopped, msg::kReasonStopped);
        const auto want = static_cast<std::size_t>(std::min(m_count - m_done, chunk));
        const Step result = route == Route::Splice      ? SpliceStep(want)
                            : route == Route::CopyRange ? RangeStep(want)
                                                        : BufferStep(want);
        if (result == Step::Failed) return m_failure;
        if (result == Step::Unusable) {
            // Splice needs a target that takes pipe writes, copy_file_range one the kernel can
            // copy into; our buffer works everywhere.
            m_pipe.reset();
            route = route == Route::Splice ? Route::CopyRange : Route::Buffer;
            continue;
        }
        if (options.progress && m_done >= nextReport) {
            nextReport = (m_done / step + 1) * step;
            options.progress(m_done);
        }
    }
    return {};
}

Step Copier::SpliceStep(std::size_t want)
{
    if (!m_pipe) m_pipe = std::make_unique<Pipe>(m_calls);
    if (!m_pipe->valid()) return Step::Unusable;
    off_t in = SourceAt();
    const ssize_t got = m_calls.Splice(m_source, &in, m_pipe->write.get(), nullptr, std::min(want, m_pipe->capacity));
    if (got < 0 && errno == EINTR) return Step::Moved;
    // The end of the source, or a source the kernel cannot splice: our buffer tells which.
    if (got <= 0)
        return errno == EINVAL || errno == ENOSYS || got == 0 ? Step::Unusable
                                                              : Fails(CopyError::ReadFailed, msg::kReasonRead, errno);
    for (ssize_t left = got; left > 0;) {
        off_t out = static_cast<off_t>(m_done);
        const ssize_t put = m_calls.Splice(m_pipe->read.get(), nullptr, m_target, &out, static_cast<std::size_t>(left));
        if (put < 0 && errno == EINTR) continue;
        // What is still in the pipe is dropped with it; the next route reads it again.
        if (put < 0 && (errno == EINVAL || errno == ENOSYS)) return Step::Unusable;
        if (put <= 0) return Fails(CopyError::WriteFailed, msg::kReasonWrite, put == 0 ? EIO : errno);
        m_done += put;
        left -= put;
    }
    return Step::Moved;
}

Step Copier::RangeStep(std::size_t want)
{
    off_t in = SourceAt();
    off_t out = static_cast<off_t>(m_done);
    const ssize_t n = m_calls.CopyFileRange(m_source, &in, m_target, &out, want);
    if (n < 0 && errno == EINTR) return Step::Moved;
    // Across file systems, or where the kernel cannot; and a 0 that may mean either the end of
    // the source or a file system that cannot say: our buffer tells which.
    if (n == 0 || (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)))
        return Step::Unusable;
    if (n < 0) return Fails(CopyError::WriteFailed, msg::kReasonWrite, errno);
    m_done += n;
    return Step::Moved;
}

Step Copier::BufferStep(std::size_t want)
{
    if (m_buffer.empty()) m_buffer.resize(kBufferSize);
    const ssize_t got = m_calls.PRead(m_source, m_buffer.data(), std::min(m_buffer.size(), want), SourceAt());
    if (got < 0 && errno == EINTR) return Step::Moved;
    if (got < 0) return Fails(CopyError::ReadFailed, msg::kReasonRead, errno);
    if (got == 0) {
        m_failure = Fail(CopyError::ReadFailed, msg::kReasonAlbumEnded);
        return Step::Failed;
    }
    for (ssize_t written = 0; written < got;) {
        const ssize_t put = m_calls.PWrite(m_target, m_buffer.data() + written, static_cast<std::size_t>(got - written),
                                           static_cast<off_t>(m_done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return Fails(CopyError::WriteFailed, msg::kReasonWrite, put == 0 ? EIO : errno);
        written += put;
        m_done += put;
    }
    return Step::Moved;
}

// Removes `name` of `folder` if it is a regular file of this user that no writer holds locked,
// and the name still leads to that file when it goes.
bool RemoveIfAbandoned(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat held {};
    struct flock lock {};
    lock.l_type = F_RDLCK;
    bool abandoned = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
                     ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
    struct stat named {};
    abandoned = abandoned && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
                named.st_ino == held.st_ino;
    const bool removed = abandoned && ::unlinkat(folder, name, 0) == 0;
    ::close(fd);
    return removed;
}

}  // namespace

CopyResult WriteTemporary(const support::Folder& folder, std::int64_t start, std::int64_t count,
                          const support::File& source, const CopyOptions& options, TemporaryFile& file)
{
    const SystemCalls& calls = CallsOf(options);
    auto temp = std::make_unique<TempFile>(calls, folder.Descriptor());
    if (const int number = temp->Create(options.unnamedTemp); number != 0)
        return Fail(CopyError::CreateFailed, msg::kReasonCreate, number);

    Copier copier(calls, source.Descriptor(), temp->fd(), start, count);
    if (CopyResult copied = copier.Run(options); !copied.Ok()) return copied;
    struct stat info {};
    if (calls.FStat(temp->fd(), &info) != 0) return Fail(CopyError::WriteFailed, msg::kReasonWrite, errno);
    if (info.st_size != count) return Fail(CopyError::WriteFailed, msg::kReasonWrongLength);
    file = std::move(temp);
    return {};
}

std::vector<int> FlushTemporaries(const support::Folder& folder, const std::vector<Temporary*>& files,
                                  const CopyOptions& options)
{
    const SystemCalls& calls = CallsOf(options);
    std::vector<int> errors(files.size(), 0);
    if (files.size() == 1) {
        if (calls.FDataSync(static_cast<TempFile*>(files[0])->fd()) != 0) errors[0] = errno;
        return errors;
    }
    // One flush of the file system writes the batch's data and inodes back together and empties
    // the disk's cache once, where a flush of each file would wait for the disk once a file. Each
    // file's own wait then costs nothing, and tells the write errors that were its own.
    if (calls.SyncFs(folder.Descriptor()) != 0) {
        std::fill(errors.begin(), errors.end(), errno);
        return errors;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        constexpr unsigned kWaitForAll =
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
        if (calls.SyncFileRange(static_cast<TempFile*>(files[i])->fd(), 0, 0, kWaitForAll) != 0) errors[i] = errno;
    }
    return errors;
}

int NameTemporary(Temporary& file, const std::string& name, const CopyOptions&)
{
    return static_cast<TempFile&>(file).Publish(name);
}

int FlushFolder(const support::Folder& folder, const CopyOptions& options)
{
    return CallsOf(options).FSync(folder.Descriptor()) == 0 ? 0 : errno;
}

std::size_t TemporariesHeldAtOnce()
{
    // A quarter of the soft limit leaves room for everything else, and for the pipe of a copy.
    constexpr std::size_t kMost = 2048;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMost;
    return std::clamp<std::size_t>(limit.rlim_cur / 4, 2, kMost);
}

void RemoveName(const support::Folder& folder, const std::string& name, const CopyOptions& options)
{
    CallsOf(options).UnlinkAt(folder.Descriptor(), name.c_str());
}

int RemoveLeftoverParts(const support::Folder& folder, const PartKey& key)
{
    const int listing = ::openat(folder.Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return 0;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(entries)) {
        const auto owner = static_cast<pid_t>(key.Owner(entry->d_name));
        // Only a process that is gone: kill(pid, 0) fails with ESRCH for no process at all.
        if (owner <= 0 || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        if (RemoveIfAbandoned(folder.Descriptor(), entry->d_name)) ++removed;
    }
    ::closedir(entries);
    return removed;
}

}  // namespace vyr::extract
