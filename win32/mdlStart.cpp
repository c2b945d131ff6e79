#include "win32/mdlStart.h"

#include "win32/Api.h"

#include <commctrl.h>
#include <objbase.h>

#include "win32/Dpi.h"
#include "win32/ShellServices.h"
#include "win32/SingleInstance.h"
#include "win32/WideText.h"
#include "win32/frmAlbum.h"

namespace vyr::win32 {

std::wstring ArgumentText(std::wstring_view commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const std::size_t closing = commandLine.find(L'"', 1);
        at = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
    } else {
        at = commandLine.find_first_of(L" \t");
        if (at == std::wstring_view::npos) at = commandLine.size();
    }
    while (at < commandLine.size() && (commandLine[at] == L' ' || commandLine[at] == L'\t')) ++at;
    return std::wstring(commandLine.substr(at));
}

int Main()
{
    // A second copy ends without a trace; its command line is not passed on.
    const SingleInstance instance;
    if (!instance.IsFirst()) return 0;

    EnablePerMonitorDpi();
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The folder browser and the shell's open want a single-threaded apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    int code = 0;
    {
        DesktopShell shell;
        frmAlbum window(shell);
        if (!window.Handle()) return 1;
        window.QuitWhenClosed();
        window.Commands().LoadStep(Utf8(ArgumentText(::GetCommandLineW())));
        code = RunMessageLoop(window);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
}

}  // namespace vyr::win32
