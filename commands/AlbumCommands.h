#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "album/AlbumState.h"
#include "commands/CommandWindow.h"

namespace vyr::extract {
class VolumeQuery;
}  // namespace vyr::extract

namespace vyr::commands {

// The window's commands, written once for every window: what the buttons, the list, the link
// and the command line do. It owns the state the commands share for the whole run, runs one
// core command at a time (a yield lets the window's events in, never a second command), and
// turns what each returns into what follows on the screen. A window holds one, shows its
// State() and hands it its events.
class AlbumCommands {
public:
    // `volumes`: the free-space query for extracting; the platform's unless a test passes one.
    explicit AlbumCommands(CommandWindow& window, const extract::VolumeQuery* volumes = nullptr);
    ~AlbumCommands();
    AlbumCommands(const AlbumCommands&) = delete;
    AlbumCommands& operator=(const AlbumCommands&) = delete;

    const album::AlbumState& State() const { return m_state; }
    // A command runs and yields: the others do nothing until it has returned.
    bool Busy() const { return m_busy; }

    // The window's load step, once at start: caption, target folder, the window shown and
    // painted, then the file that the command-line text names.
    void LoadStep(const std::string& commandLine);

    void Open();  // cmdOpenFile
    void Choose(int index);  // cmdChoose: 0 ticks every item, any other index unticks them
    void Extract();  // cmdExtract
    void StartRenaming();  // a key released anywhere in the window
    void Rename(int item, std::string name);  // the in-place editor closed on `name` (UTF-8)
    void Tick(int item, bool ticked);  // the user clicked an item's check box
    void Drop(const std::vector<std::string>& paths);  // files dropped on the list
    void OpenWebPage();  // lblSite clicked

    // The list's menu: the frame-by-frame recovery of the last file that had no header, else of
    // the file whose rows are shown. Offered while no command runs and there is such a file.
    bool CanRecoverPrecisely() const;
    void RecoverPrecisely();

    // cmdCancel or the window's close box. True when the window may close now; while a command
    // runs it is asked to stop instead, and the window is closed once it has returned.
    bool CloseRequested();

private:
    class GuardedWindow;

    template <typename Command>
    void RunExclusive(Command command);
    void ShowNotice(std::string_view text, album::MessageIcon icon);
    void Load(const std::string& path);
    void ScanWithNotice(const std::string& path, std::string_view notice);
    std::string PreciseScanPath() const;

    CommandWindow& m_window;
    // The window the core's commands are given: m_window, whose yields also report a stop.
    std::unique_ptr<GuardedWindow> m_guarded;
    const extract::VolumeQuery* m_volumes;
    album::AlbumState m_state;
    std::string m_headerlessPath;  // the last load's file when it found no header and listed nothing
    bool m_busy = false;
    bool m_stopRequested = false;
    bool m_closePending = false;
};

// The window caption: "vyr Extract   version " and the program's version.
std::string Caption();
// lblSite's text, the maker's web site, and the page it opens.
std::string_view SiteAddress();
std::string SitePage();
std::string SiteHint();

// lblSite turns red while the pointer is over it: at (x, y) from the label's top-left corner,
// inside its size.
bool LinkHovered(int x, int y, int linkWidth, int linkHeight);
// It turns blue again when the pointer moves over the window's own surface at (x, y) from the
// window's corner: measured against the label's size, not its place, so only the window's
// top-left margin keeps the hover colour, and that lies far from the link.
bool LinkLeft(int x, int y, int linkWidth, int linkHeight);

}  // namespace vyr::commands
