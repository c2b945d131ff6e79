#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <set>
#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QFrame;

namespace vyr::app {

class Shell;
class TrackListView;
namespace layout {
struct Twips;
}  // namespace layout

// The program's one window. It owns the shared state of the run and shows what the core's
// commands ask of an AlbumWindow; its buttons, the list and the command line start those
// commands, one at a time. Child object names are the controls' names; the two cmdChoose
// buttons share their name and carry their index in the property "index".
class frmAlbum : public QWidget, public album::AlbumWindow {
    Q_OBJECT
public:
    explicit frmAlbum(Shell& shell, QWidget* parent = nullptr);
    ~frmAlbum() override;

    // Caption, target folder, shown and painted, then the file the command-line text names.
    void LoadStep(const std::string& commandLine);

    album::AlbumState& State() { return m_state; }
    const album::AlbumState& State() const { return m_state; }
    // A command runs and yields: the others stay disabled until it ends.
    bool Busy() const { return m_busy; }

    // The window's commands, as its controls start them.
    void OpenCommand();
    void ChooseCommand(int index);
    void ExtractCommand();
    void StartRenaming();
    void Rename(int row, const QString& text);
    void DropFiles(const QStringList& paths);
    void LinkHover(const QPoint& position);
    void LinkLeave(const QPoint& position);
    void OpenWebPage();
    // The list's menu command: the frame-by-frame recovery of PreciseScanPath().
    void RecoverPrecisely();
    // The file the list's menu recovers: the last load's when it found no header, else the
    // one whose rows are shown; empty when there is none.
    std::string PreciseScanPath() const;

    // album::AlbumWindow
    int ItemCount() const override;
    void RemoveAllItems() override;
    bool AddItem(std::string_view key) override;
    void SetItemText(int item, std::string_view text) override;
    void SetItemCell(int item, std::string_view columnKey, std::string_view text) override;
    void EnsureVisible(int item) override;
    void SetTicked(int item, bool ticked) override;
    bool IsTicked(int item) const override;
    void RemoveAllColumns() override;
    double ListWidth() const override;
    void AddColumn(std::string_view key, std::string_view caption, double width) override;
    std::string GroupSeparator() const override;
    void SetAlbumLabel(std::string_view text) override;
    void SetArtistLabel(std::string_view text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;
    album::MessageAnswer ShowMessage(const album::Message& message) override;
    bool Yield() override;
    void Repaint() override;
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override;
    bool ChooseTargetFolder() const override;
    bool OpenDocument(std::string_view path) override;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildList();
    void BuildLeftPanel();
    void BuildProgressAndSite();
    void BuildRightPanel();
    void Place(QWidget* widget, const layout::Twips& twips) const;
    QLabel* AddLabel(const char* name, const layout::Twips& twips);
    // The buttons' faces, drawn in the colours of the current palette.
    void PaintIcons();
    void FilterKey(QObject* watched, QEvent* event);
    void ConnectControls();
    QToolButton* AddButton(QWidget* parent, const char* name, const char* hint);
    void ShowNotice(std::string_view text, album::MessageIcon icon);
    void Load(const std::string& path);
    void ScanWithNotice(const std::string& path, std::string_view notice);
    void ShowListMenu(const QPoint& position);
    // Runs a core command with the commands that would start another one disabled, then
    // closes the window if Close was pressed meanwhile. False when another one runs.
    template <typename Command>
    bool RunExclusive(Command command);
    void SetCommandsEnabled(bool enabled);
    void ProcessEventsCoalesced(bool userInput);
    // A box is centred on its owner's place on the screen, which a window that has just been
    // shown may not know yet.
    void WaitUntilExposed();

    Shell& m_shell;
    album::AlbumState m_state;
    double m_dpi = 96;

    TrackListView* m_list = nullptr;
    QLabel* m_artist = nullptr;
    QLabel* m_album = nullptr;
    QFrame* m_leftPanel = nullptr;
    QToolButton* m_open = nullptr;
    QToolButton* m_selectAll = nullptr;
    QToolButton* m_deselectAll = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_site = nullptr;
    QFrame* m_rightPanel = nullptr;
    QToolButton* m_chooseTarget = nullptr;
    QToolButton* m_extract = nullptr;
    QToolButton* m_cancel = nullptr;
    QMenu* m_listMenu = nullptr;
    QAction* m_recoverPrecisely = nullptr;

    std::string m_headerlessPath;  // the last load's file when it found no header and listed nothing
    bool m_busy = false;
    bool m_stopRequested = false;
    bool m_closePending = false;
    bool m_keyPressedWhileEditing = false;
    // Keys pressed while a control of this window had the focus and not released yet. A release
    // counts only when its press is here: the press of the Esc or Enter that closed a dialog
    // went to the dialog.
    std::set<std::uint64_t> m_pressedKeys;
    QElapsedTimer m_sinceEvents;
};

}  // namespace vyr::app
