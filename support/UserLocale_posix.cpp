#include "support/UserLocale.h"

#include <langinfo.h>
#include <locale.h>

#include "support/Text.h"

namespace vyr::support {

std::string UserGroupSeparator()
{
    // A locale object of our own: setlocale() would change how every number in the process is
    // printed and read.
    const locale_t user = ::newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return ",";
    const char* separator = ::nl_langinfo_l(THOUSEP, user);
    std::string text = separator != nullptr ? separator : "";
    ::freelocale(user);
    if (text.empty()) return ",";
    // A locale of a single-byte character set writes its separator in that set.
    return ToDisplayText(text);
}

}  // namespace vyr::support
