#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "support/ByteStream.h"

namespace vyr::support {

// Why a file could not be opened for reading.
enum class OpenError {
    None,
    CannotOpen,  // missing, no permission, ...: the system's error number says which
    Folder,
    Fifo,
    Socket,
    Device,
    NotRegular,  // anything else that is not a regular file
    NotFolder,  // a folder was asked for
};

struct OpenResult {
    OpenError error = OpenError::None;
    int systemError = 0;  // errno, for CannotOpen

    bool Ok() const { return error == OpenError::None; }
    // One line for the user: the system's text, or what kind of thing the path is.
    std::string Reason() const;
};

// An owned, read-only descriptor of a regular file. Opening never blocks: a FIFO, a socket, a
// device or a folder is refused before anything is read from it, so naming one cannot hang a
// command. Reads go to an explicit offset, so every reader of one File sees the same bytes
// whatever the others did, and a file renamed or replaced meanwhile is still the one opened.
class File final : public ByteStream {
public:
    File() = default;
    ~File() override { Close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // `path` is UTF-8 on every platform.
    OpenResult Open(const std::string& path);
    void Close();

    std::int64_t Length() const override { return m_length; }
    IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override;

#ifdef _WIN32
    bool IsOpen() const { return m_handle != nullptr; }
    // The HANDLE itself; null when closed. Still owned here.
    void* Handle() const { return m_handle; }
#else
    bool IsOpen() const { return m_fd >= 0; }
    // The descriptor itself, for the kernel's copy routes; -1 when closed. Still owned here.
    int Descriptor() const { return m_fd; }
#endif
    // Tells the system the file will be read front to back.
    void ExpectSequentialReads() const;

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    std::int64_t m_length = 0;
};

// An owned descriptor of a folder. Opened once, by a path whose links are followed (a folder the
// user names may be a link; that is the user's choice), and from then on everything in it is
// reached relative to the descriptor: a folder renamed, or swapped for a link, while a run goes
// on changes nothing about where its files go.
class Folder final {
public:
    Folder() = default;
    ~Folder() { Close(); }
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    OpenResult Open(const std::string& path);
    void Close();
#ifdef _WIN32
    bool IsOpen() const { return m_handle != nullptr; }
    // `name` in this folder as a path for the Windows calls: the folder's full path joined with
    // "\". Win32 has no call that creates, renames or removes a file relative to an open folder
    // (only the native NtCreateFile takes a folder handle), so names are reached by path. The
    // folder is held open without delete sharing, so it cannot be renamed or removed while it is
    // held and the path still leads to the folder that was opened.
    std::string PathOf(std::string_view name) const;
#else
    bool IsOpen() const { return m_fd >= 0; }
    // -1 when closed. Still owned here.
    int Descriptor() const { return m_fd; }
#endif
    // Something is at `name`: a file, a folder, or a link, which is not followed.
    bool HasEntry(const std::string& name) const;
    // A regular file of at least one byte is at `name`; a link counts for what it leads to, as a
    // reader would see it.
    bool HasNonEmptyFile(const std::string& name) const;

private:
#ifdef _WIN32
    void* m_handle = nullptr;
    std::string m_path;  // full, ends in "\"
#else
    int m_fd = -1;
#endif
};

}  // namespace vyr::support
