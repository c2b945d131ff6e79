#pragma once

#include "win32/Api.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "win32/WideText.h"
#include "win32/frmAlbum.h"

// Drives the real window through its controls' own messages, as the common controls' conformance
// tests do: nothing here reads the window's members.
namespace vyr::test {

// What the window's message loop would do with every message waiting now.
inline void Pump(win32::frmAlbum& window)
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (window.PreTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

inline std::string Text(HWND control)
{
    const auto length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return win32::Utf8(text);
}

inline int ItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

inline int ColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

inline std::string Cell(HWND list, int item, int column)
{
    wchar_t buffer[512] = {};
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = buffer;
    cell.cchTextMax = static_cast<int>(std::size(buffer));
    ::SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell));
    return win32::Utf8(buffer);
}

inline std::string ColumnCaption(HWND list, int column)
{
    wchar_t buffer[128] = {};
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT;
    header.pszText = buffer;
    header.cchTextMax = static_cast<int>(std::size(buffer));
    ::SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&header));
    return win32::Utf8(buffer);
}

// The check box's state image: 1 unticked, 2 ticked.
inline bool Ticked(HWND list, int item)
{
    const auto state = static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) >> 12 == 2;
}

inline void Select(HWND list, int item)
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

// A left click where the list's hit test finds the item's check box; false when it finds none.
inline bool ClickCheckBox(HWND list, int item)
{
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!::SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&bounds))) return false;
    const int y = (bounds.top + bounds.bottom) / 2;
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
        LVHITTESTINFO hit{};
        hit.pt = {x, y};
        ::SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.iItem == item && (hit.flags & LVHT_ONITEMSTATEICON)) {
            ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            return true;
        }
    }
    return false;
}

inline HWND Editor(HWND list) { return reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)); }

// A key pressed and released as the keyboard delivers them: each to the control that has the
// focus at the time, through the window's queue.
inline void PressKey(win32::frmAlbum& window, UINT key)
{
    const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, static_cast<LPARAM>(1 | scan << 16));
    Pump(window);
    ::PostMessageW(::GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(1 | scan << 16 | 3u << 30));
    Pump(window);
}

// The shell's dropped-file list for `paths`, as a drag from a file manager hands it over; the
// window that takes it frees it.
inline HDROP DropList(const std::vector<std::string>& paths)
{
    std::wstring names;
    for (const std::string& path : paths) names += win32::Wide(path) + L'\0';
    names += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// A control's rectangle in its parent's client coordinates.
inline RECT PlaceInParent(HWND control)
{
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

}  // namespace vyr::test
