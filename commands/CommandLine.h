#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The start-up rules for the command line: plain text, the same for every window.
namespace vyr::commands {

// The whole argument text as one string: the arguments joined by single spaces. A path with
// spaces that the shell split into several arguments comes back whole.
std::string JoinArguments(const std::vector<std::string>& arguments);

// One closing double quote at the very end, then one opening quote at the very start. Spaces are
// not skipped: "x.vyr"<space> keeps its closing quote.
std::string StripQuotes(std::string commandLine);

// A name ending in ".alb" in any case: an AlbumWrap file, which goes to the scanner with notice.
// ".albw" does not match; the loader recognises those by their content.
bool IsAlbumWrapName(std::string_view name);

// The open command's test: the last four characters are "albw" exactly, dot or not.
bool IsAlbwName(std::string_view path);

enum class StartAction {
    Nothing,  // no file named: the window waits with an empty list
    CommandLineError,  // "Command line error" naming `path` (the text after quote stripping)
    ScanAlbumWrap,  // the AlbumWrap notice, then the scanner on `path`
    Load,  // the loader on `path`
};

struct StartPlan {
    StartAction action = StartAction::Nothing;
    std::string path;
};

// What the window's load step does with the command-line text. `exists` is the file test
// (a regular file of at least one byte).
StartPlan PlanCommandLine(const std::string& commandLine, const std::function<bool(const std::string&)>& exists);

}  // namespace vyr::commands
