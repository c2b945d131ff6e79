#include <gtest/gtest.h>

#include "win32/Api.h"

#include <commctrl.h>
#include <objbase.h>

// The window's tests start as the program does: the common controls registered and the thread
// in the apartment the shell's dialogs want.
int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ::CoUninitialize();
    return result;
}
