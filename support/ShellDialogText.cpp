#include "support/ShellDialogText.h"

#include <algorithm>

#include "support/Text.h"

namespace vyr::support {

namespace {

std::vector<std::string_view> SplitAtBars(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = text.find('|', start);
        if (bar == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
}

std::vector<std::string> Patterns(std::string_view patterns)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find_first_of("; ", start);
        if (end == std::string_view::npos) end = patterns.size();
        const std::string_view one = patterns.substr(start, end - start);
        if (one == "*.*")
            out.emplace_back("*");
        else if (!one.empty())
            out.emplace_back(one);
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string NulSeparatedFilter(std::string filter)
{
    if (filter.empty() || filter.back() != '|') filter += '|';
    std::replace(filter.begin(), filter.end(), '|', '\0');
    return filter;
}

std::vector<std::string> NameFilters(std::string_view filter)
{
    if (!filter.empty() && filter.back() == '|') filter.remove_suffix(1);
    const std::vector<std::string_view> fields = SplitAtBars(filter);
    std::vector<std::string> filters;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::string description(TrimSpaces(fields[i]));
        const std::string_view patterns = TrimSpaces(fields[i + 1]);
        const std::vector<std::string> list = Patterns(patterns);
        if (list.empty()) continue;

        std::string joined;
        for (const std::string& p : list) joined += (joined.empty() ? "" : " ") + p;

        std::string own = "(";
        own.append(patterns).append(")");
        if (description.size() >= own.size() &&
            description.compare(description.size() - own.size(), own.size(), own) == 0)
            description.resize(description.size() - own.size());
        description = std::string(TrimSpaces(description));
        std::string filter = description.empty() ? std::string() : description + " ";
        filter.append("(").append(joined).append(")");
        filters.push_back(std::move(filter));
    }
    return filters;
}

std::string TrimAtNul(std::string_view buffer)
{
    const std::size_t nul = buffer.find('\0');
    if (nul != std::string_view::npos) buffer = buffer.substr(0, nul);
    return std::string(TrimSpaces(buffer));
}

std::string BrowseStartFolder(std::string_view folder, char separator)
{
    // A root keeps its separator: without it "C:" would mean the drive's current folder, and "/"
    // would become nothing.
    const std::size_t rootLength = separator == '\\' ? 3 : 1;
    if (folder.size() > rootLength) return StripTrailingBackslash(folder, separator);
    return std::string(folder);
}

}  // namespace vyr::support
