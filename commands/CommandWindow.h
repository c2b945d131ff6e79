#pragma once

#include <string>
#include <string_view>

#include "album/AlbumWindow.h"

namespace vyr::commands {

// What the window commands ask of a window beyond what the core's commands do: its caption, its
// dialogs, the list's selection and editor, its buttons and its own closing. The Qt window and
// the Windows window implement it; the commands never see a widget.
class CommandWindow : public album::AlbumWindow {
public:
    virtual void SetCaption(std::string_view caption) = 0;
    // Makes the window visible. The load step yields next, so that it is painted before a long
    // load begins.
    virtual void ShowWindow() = 0;
    // The user's documents folder without a trailing separator, or "" when there is none.
    virtual std::string DocumentsFolder() = 0;
    // The open-file dialog: one file, the filter's "|" list with its first entry chosen. The full
    // path, or "" when the user cancelled.
    virtual std::string ShowOpenDialog(std::string_view filter, std::string_view title,
                                       std::string_view initialFolder) = 0;
    // chkChsTarg is on: ask for a target folder before extracting.
    virtual bool ChooseTargetFolder() const = 0;
    // ListView1's selected item, or -1.
    virtual int SelectedItem() const = 0;
    // Opens the in-place editor on the item's file name, unless one is open already.
    virtual void StartEditing(int item) = 0;
    // The controls that would start another command (open, select, extract, drops on the list)
    // are disabled while a command runs and yields, and enabled again when it has returned.
    virtual void EnableCommands(bool enabled) = 0;
    // The desktop's browser on a web address; nothing is said when there is none.
    virtual void OpenWebAddress(std::string_view address) = 0;
    // Closes the window, which ends the program.
    virtual void CloseWindow() = 0;
};

}  // namespace vyr::commands
