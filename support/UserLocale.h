#pragma once

#include <string>

namespace vyr::support {

// The thousands separator of the user's locale (its numeric settings) as UTF-8, read without
// changing the process's own locale; "," when the locale names none. The terminal's front end
// uses it; the window asks its toolkit, which reads the same settings.
std::string UserGroupSeparator();

}  // namespace vyr::support
