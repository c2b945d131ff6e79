#pragma once

// What must hold when the loader or the recovery scanner is given any file, and when the rows
// they leave are then extracted: the extracted bytes are the ones the offsets name, nothing is
// written outside the target folder, and the album itself is never changed. Shared by the fuzz
// targets and the regression test.

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "album/LoadAlbum.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "fuzz/HeaderChecks.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/ScanAndRecover.h"
#include "tests/RecordingWindow.h"

namespace vyr::fuzz {

// A volume with room for anything, so every eligible row reaches the copy.
class RoomyVolume final : public extract::VolumeQuery {
public:
    std::optional<extract::ExtendedFigures> Extended(const std::string&) const override
    {
        constexpr std::uint64_t kPlenty = std::uint64_t{1} << 50;
        return extract::ExtendedFigures{kPlenty, kPlenty, kPlenty};
    }
    std::optional<extract::LegacyFigures> Legacy(const std::string&) const override
    {
        return extract::LegacyFigures{1, 4096, 1u << 30, 1u << 30};
    }
};

// A private folder holding album/<the input> and out/, the target folder of the extraction.
class Workspace {
public:
    Workspace()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vyr-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
        m_root = pattern;
        std::filesystem::create_directory(m_root / "album");
        std::filesystem::create_directory(m_root / "out");
    }
    ~Workspace()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::string AlbumPath() const { return (m_root / "album" / "input.vyr").string(); }
    std::string OutFolder() const { return (m_root / "out").string() + "/"; }
    const std::filesystem::path& Root() const { return m_root; }

    // Puts the input in place and empties the target folder.
    void Reset(std::string_view bytes)
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
        std::filesystem::create_directories(m_root / "album");
        std::filesystem::create_directories(m_root / "out");
        std::ofstream out(AlbumPath(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_root;
};

inline std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The table and the list after a load or a scan that listed its rows.
inline void CheckListed(const album::AlbumState& state, Violations& out)
{
    if (state.list.items != state.tracks.Count())
        out.push_back("list has " + std::to_string(state.list.items) + " items for " +
                      std::to_string(state.tracks.Count()) + " rows");
    CheckRows(state.tracks, out);
}

// Extracts every ticked row into the workspace's out/ folder and holds the result to the rows:
// each written file is a plain name in out/ with exactly the album bytes its offset names, and
// nothing else appears anywhere.
inline void CheckExtraction(album::AlbumState& state, test::RecordingWindow& window, const Workspace& workspace,
                            std::string_view album, Violations& out)
{
    if (state.list.items == 0) return;
    state.targetFolder = workspace.OutFolder();
    const RoomyVolume volume;
    const extract::ExtractReport report = extract::ExtractTicked(state, window, volume);

    std::map<std::string, std::string> expected;  // written file name -> its bytes
    const auto length = static_cast<std::int64_t>(album.size());
    for (const extract::RowReport& row : report.rows) {
        if (row.row < 0 || row.row >= state.tracks.Count()) {
            out.push_back("report names row " + std::to_string(row.row) + " of " +
                          std::to_string(state.tracks.Count()));
            continue;
        }
        if (row.status == extract::RowStatus::Written) {
            // Offsets are those of the row itself, so sum the byte counts of every row before it.
            std::int64_t start = state.dataBase;
            for (int earlier = 0; earlier < row.row; ++earlier) start += state.tracks[earlier].byteCount;
            const std::int64_t count = state.tracks[row.row].byteCount;
            const std::string where = "row " + std::to_string(row.row) + " written ";
            if (start < 0)
                out.push_back(where + "from a negative offset " + std::to_string(start));
            else if (count <= 0 || start + count > length)
                out.push_back(where + "past the end of the album");
            else
                expected.emplace(row.fileName, std::string(album.substr(static_cast<std::size_t>(start),
                                                                        static_cast<std::size_t>(count))));
            if (!support::IsPlainFileName(row.fileName)) out.push_back(where + "under a name that is not plain");
        }
    }

    std::set<std::string> seen;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(workspace.Root())) {
        const auto relative = std::filesystem::relative(entry.path(), workspace.Root()).string();
        if (relative == "album" || relative == "out" || relative == "album/input.vyr") continue;
        const std::string name = entry.path().filename().string();
        if (entry.path().parent_path() != workspace.Root() / "out") {
            out.push_back("extraction left " + relative + " outside the target folder");
            continue;
        }
        const auto match = expected.find(name);
        if (match == expected.end()) {
            out.push_back("target folder holds " + name + ", which no written row names");
            continue;
        }
        seen.insert(name);
        if (!entry.is_regular_file() || entry.is_symlink())
            out.push_back(name + " is not a regular file");
        else if (ReadWhole(entry.path()) != match->second)
            out.push_back(name + " does not hold its row's bytes");
    }
    for (const auto& [name, bytes] : expected)
        if (!seen.count(name)) out.push_back("row reported written but " + name + " is missing");
    if (ReadWhole(workspace.AlbumPath()) != album) out.push_back("the album changed");
}

// A load whose first pass reads along with the scan's walk must end as the load that reads the
// first pass on its own did: the same outcome, rows, header and messages.
inline void CheckLoadAlong(Workspace& workspace, const album::LoadResult& alone, const album::AlbumState& state,
                           const test::RecordingWindow& window, Violations& out)
{
    album::AlbumState alongState;
    test::RecordingWindow alongWindow;
    alongWindow.defaultAnswer = album::MessageAnswer::Yes;
    recovery::RecoveryScanner scanner(album::RecoveryMethod::Classic, true);
    const album::LoadResult along =
        album::LoadAlbum(alongState, alongWindow, workspace.AlbumPath(), scanner, {.handOffArchives = false});
    if (along.kind != alone.kind || along.scan != alone.scan || along.reason != alone.reason)
        out.push_back("a load with the first pass read along ends otherwise");
    if (alongState.headerLength != state.headerLength || alongState.dataBase != state.dataBase ||
        alongState.title != state.title || alongState.artist != state.artist ||
        alongState.tracks.Count() != state.tracks.Count())
        out.push_back("a load with the first pass read along leaves another album");
    for (int i = 0; i < std::min(state.tracks.Count(), alongState.tracks.Count()); ++i)
        if (alongState.tracks[i].byteCount != state.tracks[i].byteCount ||
            alongState.tracks[i].fileName != state.tracks[i].fileName)
            out.push_back("a load with the first pass read along gives row " + std::to_string(i) + " otherwise");
    if (alongWindow.messages.size() != window.messages.size())
        out.push_back("a load with the first pass read along shows other messages");
    for (std::size_t i = 0; i < std::min(window.messages.size(), alongWindow.messages.size()); ++i)
        if (alongWindow.messages[i].text != window.messages[i].text)
            out.push_back("a load with the first pass read along shows another message " + std::to_string(i));
}

// The loader on any file, answering Yes to the offer of a scan; then the extraction.
inline Violations CheckLoadFile(std::string_view bytes, Workspace& workspace)
{
    Violations out;
    workspace.Reset(bytes);
    album::AlbumState state;
    test::RecordingWindow window;
    window.defaultAnswer = album::MessageAnswer::Yes;
    recovery::RecoveryScanner scanner;
    const album::LoadResult result =
        album::LoadAlbum(state, window, workspace.AlbumPath(), scanner, {.handOffArchives = false});
    CheckLoadAlong(workspace, result, state, window, out);
    const bool listed =
        result.kind == album::FileKind::Album || (result.scan && *result.scan == recovery::ScanOutcome::Recovered);
    if (listed) CheckListed(state, out);
    if (result.kind == album::FileKind::Album && state.dataBase != state.headerLength)
        out.push_back("album rows do not start at the header length");
    if (listed) CheckExtraction(state, window, workspace, bytes, out);
    return out;
}

// The recovery scanner on any file, as the open command runs it for an AlbumWrap name.
inline Violations CheckScanFile(std::string_view bytes, Workspace& workspace)
{
    Violations out;
    workspace.Reset(bytes);
    album::AlbumState state;
    test::RecordingWindow window;
    const recovery::ScanOutcome outcome = recovery::ScanAndRecover(state, window, workspace.AlbumPath());
    if (window.progressValue != 0 || !window.albumLabel.empty() || !window.artistLabel.empty())
        out.push_back("the scan did not leave the progress bar at 0 and the labels blank");
    if (outcome == recovery::ScanOutcome::Recovered) {
        // Only listed rows count: a pass that found one boundary keeps its lone row unlisted,
        // and an ID3v1 tag cut off by the end of the file lets that row run past the end.
        std::int64_t total = 0;
        for (const album::TrackEntry& track : state.tracks)
            if (track.byteCount > 0) total += track.byteCount;
        if (total > static_cast<std::int64_t>(bytes.size()))
            out.push_back("rows add up to " + std::to_string(total) + " bytes of a " + std::to_string(bytes.size()) +
                          "-byte file");
        CheckListed(state, out);
        CheckExtraction(state, window, workspace, bytes, out);
    }
    return out;
}

}  // namespace vyr::fuzz
