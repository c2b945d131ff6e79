#include "commands/CommandLine.h"

#include <cctype>

#include "support/Text.h"

namespace vyr::commands {

std::string JoinArguments(const std::vector<std::string>& arguments)
{
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text += ' ';
        text += arguments[i];
    }
    return text;
}

std::string StripQuotes(std::string commandLine)
{
    if (!commandLine.empty() && commandLine.back() == '"') commandLine.pop_back();
    if (!commandLine.empty() && commandLine.front() == '"') commandLine.erase(0, 1);
    return commandLine;
}

bool IsAlbumWrapName(std::string_view name)
{
    if (name.size() < 4) return false;
    std::string tail(name.substr(name.size() - 4));
    for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return tail == ".alb";
}

bool IsAlbwName(std::string_view path) { return path.ends_with("albw"); }

StartPlan PlanCommandLine(const std::string& commandLine, const std::function<bool(const std::string&)>& exists)
{
    if (support::TrimSpaces(commandLine).empty()) return {};

    // The existence test sees the text untrimmed, so a quoted name followed by a space fails
    // with its closing quote still on.
    const std::string stripped = StripQuotes(commandLine);
    if (!exists(stripped)) return {StartAction::CommandLineError, stripped};

    std::string trimmed(support::TrimSpaces(stripped));
    if (IsAlbumWrapName(trimmed)) return {StartAction::ScanAlbumWrap, std::move(trimmed)};
    return {StartAction::Load, std::move(trimmed)};
}

}  // namespace vyr::commands
