#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "extract/mdlTrimFilePlatform.h"
#include "support/Messages.h"
#include "support/Text.h"
#include "support/Win32.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

// Our own buffer: memory stays flat whatever the track's length.
constexpr std::int64_t kBufferSize = 1 << 20;

int LastErrno() { return support::ErrnoFromWin32(::GetLastError()); }

CopyResult Fail(CopyError error, std::string_view text, int number = 0) { return CopyFailure(error, text, number); }

OVERLAPPED At(std::int64_t offset)
{
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    where.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return where;
}

// The bytes in flight before they get their name: Windows has no unnamed files, so a hidden
// file of the target folder (PartKey names it), removed on every way out but the one where it
// got its name.
class TempFile final : public Temporary {
public:
    explicit TempFile(const support::Folder& folder) : m_folder(folder) {}
    ~TempFile() override
    {
        Close();
        if (!m_path.empty()) ::DeleteFileW(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // errno of the failure, or 0.
    int Create()
    {
        static std::atomic<unsigned> serial{0};
        const PartKey& key = PartKey::ForUser();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::optional<std::wstring> path =
                support::WidePath(m_folder.PathOf(key.Name(::GetCurrentProcessId(), serial++)));
            if (!path) return EILSEQ;
            // Without delete sharing: the clean-up of another run cannot remove it while it fills.
            m_handle = ::CreateFileW(path->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN, nullptr);
            if (m_handle != INVALID_HANDLE_VALUE) {
                m_path = *path;
                return 0;
            }
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return support::ErrnoFromWin32(error);
        }
        return EEXIST;
    }

    HANDLE Handle() const { return m_handle; }
    const support::Folder& Folder() const { return m_folder; }

    // Gives the file its name, never in place of anything there: MoveFileExW without
    // MOVEFILE_REPLACE_EXISTING fails on an existing name, a link's included. The hidden mark was
    // for the bytes in flight only. The close is checked on the way: network shares report write
    // errors there. errno or 0; on failure the name is not taken.
    int Publish(const std::wstring& name, bool sync)
    {
        FILE_BASIC_INFO basic{};  // times of 0 are left as they are
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(m_handle, FileBasicInfo, &basic, sizeof basic)) return LastErrno();
        if (const int number = Close(); number != 0) return number;
        // With sync the rename itself reaches the medium before the call returns: the nearest
        // Windows has to flushing the folder.
        if (!::MoveFileExW(m_path.c_str(), name.c_str(), sync ? MOVEFILE_WRITE_THROUGH : 0)) return LastErrno();
        m_path.clear();
        return 0;
    }

private:
    int Close()
    {
        if (m_handle == INVALID_HANDLE_VALUE) return 0;
        const bool closed = ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
        return closed ? 0 : LastErrno();
    }

    const support::Folder& m_folder;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::wstring m_path;
};

// Moves `count` bytes from `start` of the source to the same place less `start` in the target.
// Both offsets travel with each call; neither handle's own position is ever used.
CopyResult CopyBytes(HANDLE source, HANDLE target, std::int64_t start, std::int64_t count, const CopyOptions& options)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::min(count, kBufferSize)));
    const std::int64_t step = std::max<std::int64_t>(options.progressStep, 1);
    std::int64_t nextReport = step;  // at each multiple of the step the copy passes
    for (std::int64_t done = 0; done < count;) {
        if (options.stopRequested && options.stopRequested()) return Fail(CopyError::Stopped, msg::kReasonStopped);
        const auto want = static_cast<DWORD>(std::min<std::int64_t>(count - done, kBufferSize));
        DWORD got = 0;
        OVERLAPPED from = At(start + done);
        if (!::ReadFile(source, buffer.data(), want, &got, &from)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_HANDLE_EOF)
                return Fail(CopyError::ReadFailed, msg::kReasonRead, support::ErrnoFromWin32(error));
        }
        // The album shrank under the copy.
        if (got == 0) return Fail(CopyError::ReadFailed, msg::kReasonAlbumEnded);
        for (DWORD written = 0; written < got;) {
            DWORD put = 0;
            OVERLAPPED to = At(done + written);
            if (!::WriteFile(target, buffer.data() + written, got - written, &put, &to))
                return Fail(CopyError::WriteFailed, msg::kReasonWrite, LastErrno());
            if (put == 0) return Fail(CopyError::WriteFailed, msg::kReasonWrite, EIO);
            written += put;
        }
        done += got;
        if (options.progress && done >= nextReport) {
            nextReport = (done / step + 1) * step;
            options.progress(done);
        }
    }
    return {};
}

// A process of that id runs. One that cannot be asked (another user's) counts as running.
bool ProcessRuns(DWORD pid)
{
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

}  // namespace

CopyResult WriteTemporary(const support::Folder& folder, std::int64_t start, std::int64_t count,
                          const support::File& source, const CopyOptions& options, TemporaryFile& file)
{
    auto temp = std::make_unique<TempFile>(folder);
    if (const int number = temp->Create(); number != 0)
        return Fail(CopyError::CreateFailed, msg::kReasonCreate, number);
    const auto album = static_cast<HANDLE>(source.Handle());
    if (CopyResult copied = CopyBytes(album, temp->Handle(), start, count, options); !copied.Ok()) return copied;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(temp->Handle(), &size)) return Fail(CopyError::WriteFailed, msg::kReasonWrite, LastErrno());
    if (size.QuadPart != count) return Fail(CopyError::WriteFailed, msg::kReasonWrongLength);
    file = std::move(temp);
    return {};
}

std::vector<int> FlushTemporaries(const support::Folder&, const std::vector<Temporary*>& files, const CopyOptions&)
{
    std::vector<int> errors;
    for (Temporary* file : files)
        errors.push_back(::FlushFileBuffers(static_cast<TempFile*>(file)->Handle()) ? 0 : LastErrno());
    return errors;
}

int NameTemporary(Temporary& file, const std::string& name, const CopyOptions& options)
{
    auto& temp = static_cast<TempFile&>(file);
    const std::optional<std::wstring> target = support::WidePath(temp.Folder().PathOf(name));
    if (!target) return EILSEQ;
    return temp.Publish(*target, options.sync);
}

// With sync the names reached the medium as they were given (MOVEFILE_WRITE_THROUGH).
int FlushFolder(const support::Folder&, const CopyOptions&) { return 0; }

// A process may hold millions of handles; a batch of this many keeps the flushes few.
std::size_t TemporariesHeldAtOnce() { return 2048; }

void RemoveName(const support::Folder& folder, const std::string& name, const CopyOptions&)
{
    if (const std::optional<std::wstring> path = support::WidePath(folder.PathOf(name))) ::DeleteFileW(path->c_str());
}

// Who owns a file is a security descriptor on Windows, and the FAT and exFAT sticks that tracks
// often go to keep none, so unlike Linux the owner is not asked. What guards instead: the name
// with this user's tag, a process of that id that is gone, a plain file (no folder, no link or
// junction), and a running copy holding its temporary without delete sharing, so no clean-up
// can remove it.
int RemoveLeftoverParts(const support::Folder& folder, const PartKey& key)
{
    const std::optional<std::wstring> pattern =
        support::WidePath(folder.PathOf(std::string(support::kPartPrefix) + "*"));
    if (!folder.IsOpen() || !pattern) return 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        const std::string name = support::Utf8FromWide(found.cFileName);
        const std::uint32_t owner = key.Owner(name);
        if (owner == 0 || owner == ::GetCurrentProcessId() || ProcessRuns(owner)) continue;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        const std::optional<std::wstring> path = support::WidePath(folder.PathOf(name));
        if (path && ::DeleteFileW(path->c_str())) ++removed;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

}  // namespace vyr::extract
