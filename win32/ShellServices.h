#pragma once

#include "win32/Api.h"

#include <string>
#include <string_view>

#include "album/AlbumWindow.h"

namespace vyr::win32 {

// Everything the window asks of the shell that a test cannot answer on its own: modal dialogs,
// message boxes, the documents folder and the shell's open. The window takes one by reference;
// tests hand it one that answers in advance.
class ShellServices {
public:
    virtual ~ShellServices() = default;

    // One file, or "" on cancel. `filter` is the "|" list of the open command, its first entry chosen.
    virtual std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                                       std::string_view initialFolder) = 0;
    // A folder on disk, without a trailing separator except for a root, or "" on cancel.
    virtual std::string BrowseForFolder(HWND owner, std::string_view startFolder, std::string_view title) = 0;
    // The user's documents folder without a trailing separator, or "" when there is none.
    virtual std::string DocumentsFolder() = 0;
    virtual album::MessageAnswer ShowMessage(HWND owner, const album::Message& message) = 0;
    // The shell's default action on a document or a web address; false when nothing took it.
    virtual bool Open(HWND owner, std::string_view target) = 0;
};

// The real shell: the common dialogs, the folder browser, the known folders, message boxes and
// ShellExecuteW.
class DesktopShell final : public ShellServices {
public:
    std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override;
    std::string BrowseForFolder(HWND owner, std::string_view startFolder, std::string_view title) override;
    std::string DocumentsFolder() override;
    album::MessageAnswer ShowMessage(HWND owner, const album::Message& message) override;
    bool Open(HWND owner, std::string_view target) override;
};

}  // namespace vyr::win32
