#include "win32/TrackListView.h"

#include <shellapi.h>

#include <utility>

#include "album/TrackList.h"
#include "commands/Layout.h"
#include "support/Messages.h"
#include "win32/WideText.h"

namespace vyr::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// The state images of a list with check boxes: 1 unticked, 2 ticked.
constexpr UINT kUnticked = 1;
constexpr UINT kTicked = 2;

}  // namespace

TrackListView::TrackListView(const album::AlbumState& state, std::string groupSeparator, Events events)
    : m_state(state), m_groupSeparator(std::move(groupSeparator)), m_events(std::move(events))
{
}

TrackListView::~TrackListView()
{
    if (m_list) ::RemoveWindowSubclass(m_list, Subclass, kSubclassId);
}

void TrackListView::Create(HWND parent, int id)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA |
                        LVS_EDITLABELS | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    m_list = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!m_list) return;
    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    ::SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    // The ticks are the state's: the list asks for each one it draws.
    ::SendMessageW(m_list, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    ::SetWindowSubclass(m_list, Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ::DragAcceptFiles(m_list, TRUE);
}

void TrackListView::ShowList(unsigned dpi)
{
    ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    const auto& columns = m_state.list.columns;
    const int wanted = static_cast<int>(columns.size());
    while (m_shownColumns > wanted) ::SendMessageW(m_list, LVM_DELETECOLUMN, --m_shownColumns, 0);
    for (int c = 0; c < wanted; ++c) {
        std::wstring caption = Wide(columns[static_cast<std::size_t>(c)].caption);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = commands::layout::ToPixels(columns[static_cast<std::size_t>(c)].width, dpi);
        column.pszText = caption.data();
        // A column that is there already takes the new caption and width: column 0 is never
        // removed, which not every version of the control allows.
        if (c < m_shownColumns) {
            ::SendMessageW(m_list, LVM_SETCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        } else {
            ::SendMessageW(m_list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
            ++m_shownColumns;
        }
    }

    ::SendMessageW(m_list, LVM_SETITEMCOUNT, m_state.list.items, 0);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    if (m_state.list.items > 0) ::SendMessageW(m_list, LVM_ENSUREVISIBLE, m_state.list.items - 1, FALSE);
    ::InvalidateRect(m_list, nullptr, TRUE);
}

void TrackListView::ShowItems(int first, int last)
{
    if (first < 0) first = 0;
    if (last >= m_state.list.items) last = m_state.list.items - 1;
    if (first <= last) ::SendMessageW(m_list, LVM_REDRAWITEMS, first, last);
}

void TrackListView::ScaleColumns(unsigned dpi)
{
    const auto& columns = m_state.list.columns;
    for (int c = 0; c < m_shownColumns && c < static_cast<int>(columns.size()); ++c)
        ::SendMessageW(m_list, LVM_SETCOLUMNWIDTH, c,
                       commands::layout::ToPixels(columns[static_cast<std::size_t>(c)].width, dpi));
}

int TrackListView::SelectedItem() const
{
    return static_cast<int>(::SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool TrackListView::IsEditing() const { return ::SendMessageW(m_list, LVM_GETEDITCONTROL, 0, 0) != 0; }

void TrackListView::StartEditing(int item)
{
    if (IsEditing() || item < 0 || item >= m_state.list.items || m_shownColumns == 0) return;
    // The control edits only while it has the focus.
    ::SetFocus(m_list);
    ::SendMessageW(m_list, LVM_EDITLABELW, item, 0);
}

void TrackListView::SetDropsAccepted(bool accepted) { ::DragAcceptFiles(m_list, accepted ? TRUE : FALSE); }

LRESULT TrackListView::OnNotify(NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOW: FillCell(reinterpret_cast<NMLVDISPINFOW*>(header)->item); return 0;
    // An owner-data list cannot keep a tick, so a click on a check box only reaches us.
    case NM_CLICK:
    case NM_DBLCLK: ClickedAt(reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction); return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_SPACE) {
            if (const int item = SelectedItem(); item >= 0 && m_events.tickClicked) m_events.tickClicked(item);
        }
        return 0;
    case LVN_BEGINLABELEDITW: return m_events.mayEdit && !m_events.mayEdit() ? TRUE : FALSE;
    case LVN_ENDLABELEDITW: {
        const LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
        if (item.pszText && m_events.editEnded) m_events.editEnded(item.iItem, item.pszText);
        return FALSE;  // the list keeps no text; the rename decides what the item shows
    }
    case LVN_GETEMPTYMARKUP: {
        auto* markup = reinterpret_cast<NMLVEMPTYMARKUP*>(header);
        markup->dwFlags = EMF_CENTERED;
        ::lstrcpynW(markup->szMarkup, Wide(support::msg::kListView1EmptyHint).c_str(), L_MAX_URL_LENGTH);
        return TRUE;
    }
    case LVN_ODFINDITEMW: return -1;
    default: return 0;
    }
}

void TrackListView::FillCell(LVITEMW& item) const
{
    const album::TrackTable& rows = album::ListedRows(m_state);
    if (item.iItem < 0 || item.iItem >= m_state.list.items || item.iItem >= rows.Count()) return;
    const auto& columns = m_state.list.columns;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        std::wstring text;
        if (item.iSubItem >= 0 && item.iSubItem < static_cast<int>(columns.size()))
            text = Wide(album::CellText(rows[item.iItem], columns[static_cast<std::size_t>(item.iSubItem)].column,
                                        m_groupSeparator));
        ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
    }
    if ((item.mask & LVIF_STATE) && item.iSubItem == 0) {
        const UINT image = album::IsTicked(m_state, item.iItem) ? kTicked : kUnticked;
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(image);
        item.stateMask |= LVIS_STATEIMAGEMASK;
    }
}

void TrackListView::ClickedAt(POINT at)
{
    LVHITTESTINFO hit{};
    hit.pt = at;
    ::SendMessageW(m_list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && m_events.tickClicked) m_events.tickClicked(hit.iItem);
}

void TrackListView::Dropped(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
        paths.push_back(Utf8(path));
    }
    ::DragFinish(drop);
    if (!paths.empty() && m_events.filesDropped) m_events.filesDropped(paths);
}

LRESULT CALLBACK TrackListView::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self)
{
    if (message == WM_DROPFILES) {
        reinterpret_cast<TrackListView*>(self)->Dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, Subclass, kSubclassId);
        reinterpret_cast<TrackListView*>(self)->m_list = nullptr;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace vyr::win32
