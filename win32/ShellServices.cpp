#include "win32/ShellServices.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "support/Messages.h"
#include "support/ShellDialogText.h"
#include "win32/WideText.h"

namespace vyr::win32 {

namespace {

// Room for a long path (past MAX_PATH) with its terminating NUL.
constexpr DWORD kPathRoom = 32'768;

// The browser opens on the start folder: it is selected once the dialog exists.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder)
{
    if (message == BFFM_INITIALIZED) ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
    return 0;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string DesktopShell::ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                                         std::string_view initialFolder)
{
    const std::wstring filters = Wide(support::NulSeparatedFilter(std::string(filter)));
    const std::wstring caption = Wide(title);
    const std::wstring folder = Wide(initialFolder);
    std::vector<wchar_t> file(kPathRoom, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hInstance = ::GetModuleHandleW(nullptr);
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathRoom;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = caption.c_str();
    // A typed name need not exist: the loader says what is wrong with it.
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&dialog)) return {};
    return support::TrimAtNul(Utf8(std::wstring_view(file.data())));
}

std::string DesktopShell::BrowseForFolder(HWND owner, std::string_view startFolder, std::string_view title)
{
    const std::wstring start = Wide(support::BrowseStartFolder(startFolder));
    const std::wstring caption = Wide(title);

    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = caption.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (!start.empty()) {
        browse.lpfn = BrowseCallback;
        browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen) return {};
    std::vector<wchar_t> path(MAX_PATH + 1, L'\0');
    // A virtual folder (the printers, the network) has no path: that counts as no choice.
    const bool onDisk = ::SHGetPathFromIDListW(chosen, path.data()) != FALSE;
    ::CoTaskMemFree(chosen);
    if (!onDisk || !IsFolder(path.data())) return {};
    return Utf8(path.data());
}

std::string DesktopShell::DocumentsFolder()
{
    PWSTR found = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &found))) folder = found;
    ::CoTaskMemFree(found);
    // A documents folder that is not on disk is no folder: the target then stays empty and the
    // first open dialog starts wherever the shell starts it.
    if (folder.empty() || !IsFolder(folder)) return {};
    return Utf8(folder);
}

album::MessageAnswer DesktopShell::ShowMessage(HWND owner, const album::Message& message)
{
    UINT style = MB_SETFOREGROUND;
    switch (message.icon) {
    case album::MessageIcon::Exclamation: style |= MB_ICONEXCLAMATION; break;
    case album::MessageIcon::Information: style |= MB_ICONINFORMATION; break;
    case album::MessageIcon::Critical: style |= MB_ICONSTOP; break;
    }
    style |= message.buttons == album::MessageButtons::YesNo ? MB_YESNO : MB_OK;
    const std::wstring text = Wide(message.text);
    const std::wstring title = Wide(message.title.empty() ? support::msg::kAppTitle : message.title);
    const int pressed = ::MessageBoxW(owner, text.c_str(), title.c_str(), style);
    if (message.buttons == album::MessageButtons::Ok) return album::MessageAnswer::Ok;
    return pressed == IDYES ? album::MessageAnswer::Yes : album::MessageAnswer::No;
}

bool DesktopShell::Open(HWND owner, std::string_view target)
{
    const std::wstring wide = Wide(target);
    const auto result =
        reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Values above 32 mean success.
    return result > 32;
}

}  // namespace vyr::win32
