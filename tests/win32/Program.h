#pragma once

#include "win32/Api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <utility>

#include "win32/frmAlbum.h"

namespace vyr::test {

// vyr-extract.exe in a process of its own, started as a desktop starts it, and its window seen
// from outside: the system carries the controls' messages across processes. Closed when it goes.
class Program {
public:
    struct Run {
        std::wstring exe;
        std::wstring arguments;
    };
    struct Open {
        std::wstring document;  // opened by the shell with the program its association names
    };

    explicit Program(const Run& run)
    {
        wchar_t path[MAX_PATH] = {};
        ::GetFullPathNameW(run.exe.c_str(), MAX_PATH, path, nullptr);
        std::wstring line = L"\"" + std::wstring(path) + L"\" " + run.arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (::CreateProcessW(path, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
            ::CloseHandle(started.hThread);
            m_process = started.hProcess;
            m_id = started.dwProcessId;
        }
    }
    explicit Program(const Open& open)
    {
        SHELLEXECUTEINFOW execute{};
        execute.cbSize = sizeof execute;
        execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        execute.lpFile = open.document.c_str();
        execute.nShow = SW_SHOWNORMAL;
        if (::ShellExecuteExW(&execute) && execute.hProcess) {
            m_process = execute.hProcess;
            m_id = ::GetProcessId(m_process);
        }
    }
    ~Program()
    {
        if (!m_process) return;
        if (!Ended(0)) {
            if (HWND window = Window()) ::PostMessageW(window, WM_CLOSE, 0, 0);
            if (!Ended(10'000)) ::TerminateProcess(m_process, 1);
        }
        ::CloseHandle(m_process);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_process != nullptr; }
    // Waits until the window lists `items` items and has painted them: nothing of the window or
    // its list waits to be painted any more.
    bool Shows(int items, DWORD milliseconds = 20'000) const
    {
        const ULONGLONG until = ::GetTickCount64() + milliseconds;
        do {
            HWND list = Control(win32::Control::ListView1);
            if (list && ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == items && ::IsWindowVisible(Window()) &&
                !::GetUpdateRect(Window(), nullptr, FALSE) && !::GetUpdateRect(list, nullptr, FALSE))
                return true;
            ::Sleep(2);
        } while (::GetTickCount64() < until && !Ended(0));
        return false;
    }
    bool Ended(DWORD milliseconds) const { return ::WaitForSingleObject(m_process, milliseconds) == WAIT_OBJECT_0; }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(m_process, &code);
        return code;
    }

    HANDLE Process() const { return m_process; }

    // The program's frmAlbum, or null when it has none.
    HWND Window() const
    {
        std::pair<DWORD, HWND> search{m_id, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM found) -> BOOL {
                auto& [process, match] = *reinterpret_cast<std::pair<DWORD, HWND>*>(found);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                wchar_t name[64] = {};
                ::GetClassNameW(window, name, 64);
                if (owner != process || std::wstring(name) != win32::frmAlbum::kClassName) return TRUE;
                match = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.second;
    }

    // A control of the program's window, found by its id under the window or its panel.
    HWND Control(win32::Control control) const
    {
        HWND window = Window();
        HWND parent = window;
        if (control >= win32::Control::cmdOpenFile && control <= win32::Control::cmdChoose1)
            parent = ::GetDlgItem(window, static_cast<int>(win32::Control::Picture1));
        if (control >= win32::Control::chkChsTarg)
            parent = ::GetDlgItem(window, static_cast<int>(win32::Control::Picture4));
        return ::GetDlgItem(parent, static_cast<int>(control));
    }

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

}  // namespace vyr::test
