#pragma once

#include "win32/Api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "album/AlbumState.h"

namespace vyr::win32 {

// ListView1: a report-style list view over the state's list, with a check box per item and the
// first column edited in place. It holds no rows of its own (owner data): it asks for each cell
// and tick it draws, so a list of 32,767 items costs what the visible ones cost. What the user
// does to it (a tick clicked, an edit ended, files dropped) is handed on; the window decides.
class TrackListView {
public:
    struct Events {
        std::function<void(int item)> tickClicked;
        // The editor closed on `text` (as typed); a cancelled edit does not come here.
        std::function<void(int item, const std::wstring& text)> editEnded;
        std::function<bool()> mayEdit;
        std::function<void(const std::vector<std::string>& paths)> filesDropped;
    };

    TrackListView(const album::AlbumState& state, std::string groupSeparator, Events events);
    ~TrackListView();
    TrackListView(const TrackListView&) = delete;
    TrackListView& operator=(const TrackListView&) = delete;

    void Create(HWND parent, int id);
    HWND Handle() const { return m_list; }

    // The state's columns or items were replaced or emptied: shows them anew, each column as
    // wide as its twips come to at `dpi`, scrolled to the last item.
    void ShowList(unsigned dpi);
    // Items first to last changed their text or their tick.
    void ShowItems(int first, int last);
    // The window moved to a screen of another DPI.
    void ScaleColumns(unsigned dpi);

    int SelectedItem() const;
    bool IsEditing() const;
    // In-place editing of the item's file name, unless an editor is open already.
    void StartEditing(int item);
    void SetDropsAccepted(bool accepted);

    // WM_NOTIFY from the list: a cell to fill, a click, a key, an edit.
    LRESULT OnNotify(NMHDR* header);

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    void FillCell(LVITEMW& item) const;
    void ClickedAt(POINT at);
    void Dropped(HDROP drop);

    const album::AlbumState& m_state;
    std::string m_groupSeparator;
    Events m_events;
    HWND m_list = nullptr;
    int m_shownColumns = 0;
};

}  // namespace vyr::win32
