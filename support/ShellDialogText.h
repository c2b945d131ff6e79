#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/PathHelpers.h"

// The text rules of the shell's dialogs that do not touch the platform: what the open dialog's
// filter becomes, how a returned buffer is cut, where the folder browser starts.
namespace vyr::support {

// The "|" list of the open command ("description|patterns|description|patterns") in the
// separated form a NUL-terminated platform list wants: one "|" is appended unless the text
// already ends in one, then every "|" becomes a NUL.
std::string NulSeparatedFilter(std::string filter);

// The same list as a file dialog's name filters, one per pair, "description (patterns)" with the
// patterns separated by spaces. A description that already ends in its own pattern list in
// parentheses keeps that place instead of repeating it. "*.*" means every file where the list
// comes from, so it becomes "*" (on other systems "*.*" would skip names without a dot). A
// description without patterns is dropped.
std::vector<std::string> NameFilters(std::string_view filter);

// The text before the first NUL (all of it when there is none), without leading and trailing
// spaces: dialog buffers start as spaces and the platform writes a NUL-terminated answer.
std::string TrimAtNul(std::string_view buffer);

// The folder the folder browser opens with: one trailing separator removed, except from a root
// ("/" here, "C:\" where the separator is "\").
std::string BrowseStartFolder(std::string_view folder, char separator = kNativeSeparator);

}  // namespace vyr::support
