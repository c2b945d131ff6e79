#pragma once

#include <string>
#include <string_view>

namespace vyr::album {

enum class MessageIcon { Exclamation, Information, Critical };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    std::string text;  // lines joined with CR LF
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
    std::string title;  // the application title unless the message names its own
};

// What the screen can do for the core's commands (LoadAlbum, ScanAndRecover, ExtractTicked,
// HandOffZip). The list's columns, items and ticks are the state's (AlbumState::list); a window
// only shows them, and hears here when to draw them again. Nothing here starts a command: a
// command returns its outcome and the front end that started it decides what comes next. The
// Qt window, the Windows window, the CLI and the tests' recording window implement it.
class AlbumWindow {
public:
    virtual ~AlbumWindow() = default;

    // ListView1's columns or items were replaced or emptied: show them anew, scrolled to the
    // last item, as a fill that scrolled each new item into view leaves the list.
    virtual void ListChanged() = 0;
    // Items first to last (0-based) changed their text or their tick.
    virtual void ItemsChanged(int first, int last) = 0;

    // lblEXTALB and lblEXTART.
    virtual void SetAlbumLabel(std::string_view text) = 0;
    virtual void SetArtistLabel(std::string_view text) = 0;

    // ProgressBar1.
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressValue(int value) = 0;

    // Modal; returns the button pressed.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
    // Lets the event loop run once so the window repaints and takes input. False once the user
    // has asked the running command to stop (Close during a scan, a signal to the CLI); the
    // command then ends.
    virtual bool Yield() = 0;
    // Paints and answers the system without taking input: the extract command runs on while
    // the window takes no input, and calls it between its copies.
    virtual void Repaint() = 0;
    // The folder chooser: the chosen folder, or "" when the user cancelled.
    virtual std::string BrowseForFolder(std::string_view startFolder, std::string_view title) = 0;
    // The shell's open-document call; false when nothing could open it.
    virtual bool OpenDocument(std::string_view path) = 0;
};

}  // namespace vyr::album
