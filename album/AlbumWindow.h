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
// HandOffZip): show the list, the labels, the progress bar and message boxes, let the event loop
// run, ask for a folder. Nothing here starts a command; a command returns its outcome and the
// front end that started it decides what comes next. The Qt window frmAlbum, the CLI and the
// tests' recording window implement it. List items are 0-based here: item i shows track row i.
class AlbumWindow {
public:
    virtual ~AlbumWindow() = default;

    // ListView1: items.
    virtual int ItemCount() const = 0;
    virtual void RemoveAllItems() = 0;
    // Appends an item; false when the list refuses its key. The new item is ItemCount() - 1.
    virtual bool AddItem(std::string_view key) = 0;
    virtual void SetItemText(int item, std::string_view text) = 0;
    virtual void SetItemCell(int item, std::string_view columnKey, std::string_view text) = 0;
    virtual void EnsureVisible(int item) = 0;
    virtual void SetTicked(int item, bool ticked) = 0;
    virtual bool IsTicked(int item) const = 0;

    // ListView1: columns. Widths are in the window's layout units (twips).
    virtual void RemoveAllColumns() = 0;
    virtual double ListWidth() const = 0;
    virtual void AddColumn(std::string_view key, std::string_view caption, double width) = 0;
    // The user's thousands separator, for the sizes the list shows.
    virtual std::string GroupSeparator() const = 0;

    // lblEXTALB and lblEXTART.
    virtual void SetAlbumLabel(std::string_view text) = 0;
    virtual void SetArtistLabel(std::string_view text) = 0;

    // ProgressBar1.
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressValue(int value) = 0;

    // Modal; returns the button pressed.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
    // Lets the event loop run once so the window repaints and takes input. False once the user
    // has asked the running command to stop (Close during a scan); the command then ends.
    virtual bool Yield() = 0;
    // Repaints without taking input: the extract command calls it during long copies.
    virtual void Repaint() = 0;
    // The folder chooser: the chosen folder, or "" when the user cancelled.
    virtual std::string BrowseForFolder(std::string_view startFolder, std::string_view title) = 0;
    // chkChsTarg: ask for a target folder before extracting.
    virtual bool ChooseTargetFolder() const = 0;
    // The shell's open-document call; false when nothing could open it.
    virtual bool OpenDocument(std::string_view path) = 0;
};

}  // namespace vyr::album
