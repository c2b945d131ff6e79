#include "support/UserLocale.h"

#include <windows.h>

#include "support/Win32.h"

namespace vyr::support {

std::string UserGroupSeparator()
{
    // The user's own choice in the regional settings, which may differ from the locale's default.
    wchar_t separator[8] = {};
    const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    if (length <= 1) return ",";
    return Utf8FromWide(std::wstring_view(separator, static_cast<std::size_t>(length - 1)));
}

}  // namespace vyr::support
