#include "support/File.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "support/Win32.h"

namespace vyr::support {

namespace {

// One ReadFile moves at most this much; its count is 32-bit.
constexpr std::size_t kMaxRead = 1u << 30;

OpenError KindOf(HANDLE handle)
{
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_PIPE: return OpenError::Fifo;
    case FILE_TYPE_CHAR: return OpenError::Device;
    default: return OpenError::NotRegular;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return OpenError::NotRegular;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return OpenError::Folder;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return OpenError::Device;
    return OpenError::None;
}

// Volumes and disks answer as disk files; their names are in the device namespace.
bool IsDeviceName(std::string_view path) { return path.starts_with("\\\\.\\") || path.starts_with("//./"); }

}  // namespace

File::File(File&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_length(std::exchange(other.m_length, 0))
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

OpenResult File::Open(const std::string& path)
{
    Close();
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return OpenResult{OpenError::CannotOpen, EILSEQ};
    if (wide->empty()) return OpenResult{OpenError::CannotOpen, ENOENT};
    if (IsDeviceName(path)) return OpenResult{OpenError::Device, 0};
    // Others may read, write, rename and delete the file meanwhile, as with a descriptor on
    // Linux; the handle still reads the file it opened. The backup flag lets a folder open, so
    // it is told apart from a file that cannot be read.
    HANDLE handle = ::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return OpenResult{OpenError::CannotOpen, ErrnoFromWin32(::GetLastError())};
    if (const OpenError kind = KindOf(handle); kind != OpenError::None) {
        ::CloseHandle(handle);
        return OpenResult{kind, 0};
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle, &size)) {
        const int number = ErrnoFromWin32(::GetLastError());
        ::CloseHandle(handle);
        return OpenResult{OpenError::CannotOpen, number};
    }
    m_handle = handle;
    m_length = size.QuadPart;
    return {};
}

void File::Close()
{
    if (m_handle != nullptr) ::CloseHandle(m_handle);
    m_handle = nullptr;
    m_length = 0;
}

IoResult File::ReadAt(std::int64_t offset, std::span<unsigned char> into)
{
    if (m_handle == nullptr) return IoResult{0, EBADF};
    if (offset < 0) return IoResult{0, EINVAL};
    std::size_t done = 0;
    while (done < into.size()) {
        // The offset travels with each read; the handle's own position is never relied on.
        const auto at = static_cast<std::uint64_t>(offset) + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto want = static_cast<DWORD>(std::min(into.size() - done, kMaxRead));
        DWORD got = 0;
        if (!::ReadFile(m_handle, into.data() + done, want, &got, &where)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            return IoResult{done, ErrnoFromWin32(error)};
        }
        if (got == 0) break;
        done += got;
    }
    return IoResult{done, 0};
}

// The system's read-ahead is chosen when a file is opened; there is nothing to tell it later.
void File::ExpectSequentialReads() const {}

Folder::Folder(Folder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::exchange(other.m_path, {}))
{
}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

OpenResult Folder::Open(const std::string& path)
{
    Close();
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return OpenResult{OpenError::CannotOpen, EILSEQ};
    if (wide->empty()) return OpenResult{OpenError::CannotOpen, ENOENT};
    // The full path now, so a later change of the working folder cannot move where names lead.
    const DWORD length = ::GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    if (length == 0 || ::GetFullPathNameW(wide->c_str(), length, full.data(), nullptr) >= length)
        return OpenResult{OpenError::CannotOpen, ErrnoFromWin32(::GetLastError())};
    full.resize(full.find(L'\0'));
    // Read and write sharing only: while the handle is held nobody can rename or remove it.
    HANDLE handle = ::CreateFileW(full.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return OpenResult{OpenError::CannotOpen, ErrnoFromWin32(::GetLastError())};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(handle);
        return OpenResult{OpenError::NotFolder, 0};
    }
    m_handle = handle;
    m_path = Utf8FromWide(full);
    if (!m_path.ends_with('\\') && !m_path.ends_with('/')) m_path += '\\';
    return {};
}

void Folder::Close()
{
    if (m_handle != nullptr) ::CloseHandle(m_handle);
    m_handle = nullptr;
    m_path.clear();
}

std::string Folder::PathOf(std::string_view name) const { return m_path + std::string(name); }

bool Folder::HasEntry(const std::string& name) const
{
    const std::optional<std::wstring> wide = WidePath(PathOf(name));
    // The attributes are those of a link itself, never of what it leads to.
    return m_handle != nullptr && wide && ::GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Folder::HasNonEmptyFile(const std::string& name) const
{
    const std::optional<std::wstring> wide = WidePath(PathOf(name));
    if (m_handle == nullptr || !wide) return false;
    // Opened without the backup flag, a folder fails here; a link is followed.
    HANDLE handle =
        ::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    const bool nonEmpty = KindOf(handle) == OpenError::None && ::GetFileSizeEx(handle, &size) && size.QuadPart > 0;
    ::CloseHandle(handle);
    return nonEmpty;
}

}  // namespace vyr::support
