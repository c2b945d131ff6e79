#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vyr::test {

// Header lines joined with CR LF (the last one too), then the data.
inline std::string Album(std::initializer_list<std::string_view> lines, std::string_view data = {})
{
    std::string bytes;
    for (const std::string_view line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    bytes += data;
    return bytes;
}

}  // namespace vyr::test
