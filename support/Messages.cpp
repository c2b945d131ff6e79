#include "support/Messages.h"

namespace vyr::support::msg {

namespace {

std::string Lines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    bool first = true;
    for (const std::string_view line : lines) {
        if (!first) text += kLineBreak;
        text += line;
        first = false;
    }
    return text;
}

}  // namespace

std::string NoHeader(std::string_view fileName)
{
    return Lines({"No valid vyr type Album header found.", "", fileName, "is not an vyr Album file.", "",
                  "Do you want to try a scan and recovery action ??"});
}

std::string CannotRead(std::string_view path, std::string_view reason)
{
    return Lines({"Cannot read the file", path, reason});
}

std::string AlbumRefused(std::string_view path, std::string_view reason)
{
    return Lines({"This album cannot be loaded", path, reason});
}

std::string RenameFailed(std::string_view from, std::string_view to, std::string_view reason)
{
    return Lines({"Cannot rename the file", from, "to", to, reason});
}

std::string NotAValidFile(std::string_view commandLine) { return Lines({commandLine, " is not a valid file"}); }

std::string RenameRefused(std::string_view name)
{
    return Lines({"This name cannot be used for a file:", name,
                  "Names may not contain / or \\ or control characters, nor be . or .."});
}

std::string DuplicateName(int earlierRow)
{
    return "row " + std::to_string(earlierRow) + " of this run has the same name";
}

std::string FailureLine(std::string_view fileName, std::string_view reason)
{
    std::string line(fileName);
    return line + ": " + std::string(reason);
}

}  // namespace vyr::support::msg
