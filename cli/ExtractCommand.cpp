#include <CLI/CLI.hpp>

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "album/AlbumState.h"
#include "album/LoadAlbum.h"
#include "album/TrackList.h"
#include "cli/AlbumJson.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StopSignal.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::cli {

namespace {

struct ExtractOptions {
    std::vector<std::string> files;
    std::string outDir;
    std::string tracks;
    std::vector<std::string> renames;
    bool json = false;
    bool scan = false;
    bool sync = false;
    bool precise = false;
};

// Rows as the user counts them, from 1.
struct Rename {
    int row = 0;
    std::string name;
};

std::optional<int> ParseRow(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

// "1,3-5" into {1, 3, 4, 5}; nothing when the text is not such a list.
std::optional<std::set<int>> ParseTrackList(std::string_view text)
{
    std::set<int> rows;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto dash = item.find('-');
        const auto first = ParseRow(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : ParseRow(item.substr(dash + 1));
        if (!first || !last || *last < *first || *last > album::TrackTable::kMaxRows) return std::nullopt;
        for (int row = *first; row <= *last; ++row) rows.insert(row);
        if (comma != std::string_view::npos && text.empty()) return std::nullopt;
    }
    if (rows.empty()) return std::nullopt;
    return rows;
}

int Usage(const std::string& text)
{
    std::cerr << "vyr extract: " << support::TerminalLines(text) << '\n';
    return kExitUsage;
}

// Fills the state from the file: a load, or with --scan the recovery scanner directly.
// Returns the exit status when the file cannot be extracted.
// `file` as the user named it, for the messages; `path` the same made absolute.
std::optional<int> Fill(const std::string& file, const std::string& path, const ExtractOptions& options,
                        album::AlbumState& state, CliWindow& window)
{
    album::LoadResult result;
    if (options.scan) {
        album::ShowScanNotice(window);
        result = {album::FileKind::NoHeader,
                  options.precise ? recovery::ScanPrecisely(state, window, path)
                                  : recovery::ScanAndRecover(state, window, path),
                  {}};
    } else {
        recovery::RecoveryScanner scanner;
        result =
            album::LoadAlbum(state, window, path, scanner, {.handOffArchives = false, .stopRequested = StopRequested});
        if (result.kind == album::FileKind::Unreadable || result.kind == album::FileKind::Refused)
            std::cerr << "vyr: " << support::TerminalText(file) << ": " << support::TerminalText(result.reason) << '\n';
        else if (!result.scan && result.kind != album::FileKind::Album)
            std::cerr << "vyr: " << support::TerminalText(file)
                      << " is not an album; --scan extracts the parts a scan finds\n";
    }
    const int status = ExitStatusFor(result);
    if (status != kExitOk) return status;
    return std::nullopt;
}

int ExtractOne(const ExtractOptions& options, const std::string& file, const std::optional<std::set<int>>& tracks,
               const std::vector<Rename>& renames, ExtractJson& json)
{
    album::AlbumState state;
    CliWindow window(std::cerr, options.scan);
    if (const auto status = Fill(file, support::AbsolutePath(file), options, state, window)) return *status;

    const int rows = std::min(state.tracks.Count(), state.list.items);
    for (const Rename& rename : renames) {
        if (rename.row > rows) return Usage("--rename: the album has no row " + std::to_string(rename.row));
        album::RenameRow(state, window, rename.row - 1, rename.name);
    }
    if (tracks && *tracks->rbegin() > rows)
        return Usage("--tracks: the album has no row " + std::to_string(*tracks->rbegin()));

    // -o is the folder choice of the window; the ticks then follow the folder written to.
    if (!options.outDir.empty())
        state.targetFolder = support::AddTrailingBackslash(support::AbsolutePath(options.outDir));
    if (tracks)
        for (int row = 0; row < rows; ++row) album::SetTicked(state, window, row, tracks->contains(row + 1));
    else
        album::TickByTargetFolder(state, window);

    window.ShowProgress(::isatty(STDERR_FILENO) == 1);
    extract::ExtractSettings settings;
    settings.sync = options.sync;
    settings.stopRequested = StopRequested;
    const extract::ExtractReport report = extract::ExtractTicked(state, window, extract::PlatformVolumes(), settings);
    if (report.noAlbum) return kExitNotAnAlbum;

    using extract::RowStatus;
    const int refused =
        report.Count(RowStatus::NoSpace) + report.Count(RowStatus::LowSpace) + report.Count(RowStatus::UnsafeName);
    (options.json ? std::cerr : std::cout)
        << support::TerminalText(file) << ": " << report.Count(RowStatus::Written) << " written, "
        << report.Count(RowStatus::Exists) << " skipped as present, " << refused << " refused, "
        << report.Count(RowStatus::Failed) << " failed, in " << support::TerminalText(state.targetFolder) << '\n';
    if (options.json) json.Add(file, state, report);
    return report.AnyRefusedOrFailed() ? kExitFailures : kExitOk;
}

// A usage error outweighs a file that is no album, which outweighs rows that failed.
int Worse(int a, int b)
{
    constexpr int kRank[] = {0, 1, 3, 2};  // by status 0..3
    return kRank[a] >= kRank[b] ? a : b;
}

int RunExtract(const ExtractOptions& options)
{
    if (options.files.size() > 1 && (!options.tracks.empty() || !options.renames.empty()))
        return Usage("--tracks and --rename name rows of one album; give one FILE with them");

    std::optional<std::set<int>> tracks;
    if (!options.tracks.empty()) {
        tracks = ParseTrackList(options.tracks);
        if (!tracks) return Usage("--tracks takes row numbers from 1, such as 1,3-5");
    }
    std::vector<Rename> renames;
    for (const std::string& text : options.renames) {
        const auto equals = text.find('=');
        const auto row = ParseRow(std::string_view(text).substr(0, equals));
        if (equals == std::string::npos || !row) return Usage("--rename takes ROW=NAME, with ROW from 1");
        const std::string name = text.substr(equals + 1);
        if (!support::IsPlainFileName(name)) return Usage(support::msg::RenameRefused(name));
        renames.push_back(Rename{*row, name});
    }
    std::error_code error;
    if (!options.outDir.empty() && !std::filesystem::is_directory(options.outDir, error))
        return Usage(options.outDir + " is not a folder");

    StopOnSignals();
    ExtractJson json(std::cout, options.files.size() > 1);
    int status = kExitOk;
    for (const std::string& file : options.files) {
        status = Worse(status, ExtractOne(options, file, tracks, renames, json));
        if (StopRequested()) break;
    }
    if (options.json) json.Finish(StopRequested());
    return StopRequested() ? 128 + StopSignal() : status;
}

}  // namespace

void AddExtractCommand(CLI::App& app, int& status)
{
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* command = app.add_subcommand(
        "extract", "Write the tracks of album files into their own files; existing files are never replaced");
    command->add_option("FILE", options->files, "Album files, each extracted as its own album")->required();
    command->add_option("-o,--output", options->outDir, "Folder to write into (default: each album's own folder)");
    command->add_option("--tracks", options->tracks,
                        "Rows to write, from 1, such as 1,3-5 (default: rows not yet present)");
    command->add_option("--rename", options->renames, "Write row ROW under NAME, as a rename in the list would")
        ->allow_extra_args(false)
        ->type_name("ROW=NAME");
    command->add_flag("--json", options->json,
                      "Print what happened to each row as JSON (an array of albums for several files)");
    CLI::Option* scan =
        command->add_flag("--scan", options->scan, "Scan each file for joined MP3 parts and write those");
    command->add_flag("--precise", options->precise, "With --scan: split by MPEG frames and tags")->needs(scan);
    command->add_flag("--sync", options->sync,
                      "Flush each track to the disk before it gets its name (default: as cp, the system writes "
                      "it back in its own time)");
    command->callback([options, &status] { status = RunExtract(*options); });
}

}  // namespace vyr::cli
