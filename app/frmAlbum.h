#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <set>
#include <string>

#include "album/AlbumState.h"
#include "commands/AlbumCommands.h"
#include "commands/CommandWindow.h"
#include "commands/Layout.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QFrame;

namespace vyr::app {

class Shell;
class TrackListView;

// The program's one window: its widgets, their events and the dialogs. What the buttons, the
// list and the command line do is the commands' (AlbumCommands), which own the shared state;
// the window shows that state and hands them its events. Child object names are the controls'
// names; the two cmdChoose buttons share their name and carry their index in the property
// "index".
class frmAlbum : public QWidget, public commands::CommandWindow {
    Q_OBJECT
public:
    explicit frmAlbum(Shell& shell, QWidget* parent = nullptr);
    ~frmAlbum() override;

    commands::AlbumCommands& Commands() { return m_commands; }
    const album::AlbumState& State() const { return m_commands.State(); }

    // album::AlbumWindow
    void ListChanged() override;
    void ItemsChanged(int first, int last) override;
    void SetAlbumLabel(std::string_view text) override;
    void SetArtistLabel(std::string_view text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;
    album::MessageAnswer ShowMessage(const album::Message& message) override;
    bool Yield() override;
    void Repaint() override;
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override;
    bool OpenDocument(std::string_view path) override;

    // commands::CommandWindow
    void SetCaption(std::string_view caption) override;
    void ShowWindow() override;
    std::string DocumentsFolder() override;
    std::string ShowOpenDialog(std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override;
    bool ChooseTargetFolder() const override;
    int SelectedItem() const override;
    void StartEditing(int item) override;
    void EnableCommands(bool enabled) override;
    void OpenWebAddress(std::string_view address) override;
    void CloseWindow() override;

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
    void Place(QWidget* widget, const commands::layout::Twips& twips) const;
    QLabel* AddLabel(const char* name, const commands::layout::Twips& twips);
    // The buttons' faces, drawn in the colours of the current palette.
    void PaintIcons();
    void FilterKey(QObject* watched, QEvent* event);
    void ConnectControls();
    QToolButton* AddButton(QWidget* parent, const char* name, std::string_view hint);
    void ShowListMenu(const QPoint& position);
    void ProcessEventsCoalesced(bool userInput);
    // A box is centred on its owner's place on the screen, which a window that has just been
    // shown may not know yet.
    void WaitUntilExposed();

    Shell& m_shell;
    double m_dpi = 96;
    commands::AlbumCommands m_commands;

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

    bool m_keyPressedWhileEditing = false;
    // Keys pressed while a control of this window had the focus and not released yet. A release
    // counts only when its press is here: the press of the Esc or Enter that closed a dialog
    // went to the dialog.
    std::set<std::uint64_t> m_pressedKeys;
    QElapsedTimer m_sinceEvents;
};

}  // namespace vyr::app
