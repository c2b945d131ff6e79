#pragma once

// What must hold when the precise split is given any bytes: parts and gaps cover the input
// exactly once, in order; every part has bytes and a plain name of its own; and the rows that
// ScanPrecisely leaves are extracted as exactly the bytes their offsets name. Shared by the
// fuzz target and the regression test.

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "extract/ExtractTicked.h"
#include "fuzz/FileChecks.h"
#include "recovery/PreciseSplit.h"
#include "recovery/ScanPrecisely.h"
#include "support/ByteStream.h"
#include "support/Text.h"

namespace vyr::fuzz {

inline void CheckCover(const recovery::PreciseSplit& split, std::int64_t length, Violations& out)
{
    struct Piece {
        album::ByteRange range;
        bool gap;
    };
    std::vector<Piece> pieces;
    for (const recovery::PrecisePart& part : split.parts) pieces.push_back({part.range, false});
    for (const album::ByteRange& gap : split.gaps) pieces.push_back({gap, true});
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.range.offset < b.range.offset; });
    std::int64_t at = 0;
    bool lastWasGap = false;
    for (const Piece& piece : pieces) {
        if (piece.range.offset != at)
            out.push_back("a piece starts at " + std::to_string(piece.range.offset) + ", not at " + std::to_string(at));
        if (piece.range.byteCount <= 0) out.push_back("an empty piece at " + std::to_string(piece.range.offset));
        if (piece.gap && lastWasGap) out.push_back("two gaps meet at " + std::to_string(piece.range.offset));
        lastWasGap = piece.gap;
        at = piece.range.End();
    }
    if (at != length) out.push_back("the pieces end at " + std::to_string(at) + " of " + std::to_string(length));
    for (std::size_t i = 1; i < split.parts.size(); ++i)
        if (split.parts[i].range.offset < split.parts[i - 1].range.offset) out.push_back("parts out of order");
}

inline Violations CheckPreciseBytes(std::string_view bytes)
{
    Violations out;
    support::MemoryStream stream(bytes);
    const recovery::PreciseSplit split = recovery::SplitPrecisely(stream, nullptr, "input.vyr");
    if (split.outcome != recovery::FrameWalkOutcome::Completed) out.push_back("the split did not complete");
    CheckCover(split, static_cast<std::int64_t>(bytes.size()), out);
    std::set<std::string> names;
    for (const recovery::PrecisePart& part : split.parts) {
        if (!support::IsPlainFileName(part.fileName) || LeadsOutOfFolder(part.fileName))
            out.push_back("a part is named " + part.fileName);
        if (!names.insert(part.fileName).second) out.push_back("two parts are named " + part.fileName);
    }
    return out;
}

// ScanPrecisely on the input as a file, then the extraction of every row it lists.
inline Violations CheckPreciseFile(std::string_view bytes, Workspace& workspace)
{
    Violations out;
    workspace.Reset(bytes);
    album::AlbumState state;
    test::RecordingWindow window;
    if (recovery::ScanPrecisely(state, window, workspace.AlbumPath()) != recovery::ScanOutcome::Recovered) return out;
    if (state.rowOffsets.size() != static_cast<std::size_t>(state.tracks.Count()))
        out.push_back("rows without offsets");
    CheckListed(state, out);
    if (!out.empty()) return out;
    state.targetFolder = workspace.OutFolder();
    const extract::ExtractReport report = extract::ExtractTicked(state, window, RoomyVolume());
    for (const extract::RowReport& row : report.rows) {
        if (row.status != extract::RowStatus::Written) {
            out.push_back("row " + std::to_string(row.row) + " was not written: " + row.reason);
            continue;
        }
        const auto offset = static_cast<std::size_t>(state.rowOffsets[static_cast<std::size_t>(row.row)]);
        const auto count = static_cast<std::size_t>(state.tracks[row.row].byteCount);
        if (ReadWhole(std::filesystem::path(workspace.OutFolder()) / row.fileName) != bytes.substr(offset, count))
            out.push_back(std::string(row.fileName) + " does not hold its row's bytes");
    }
    return out;
}

}  // namespace vyr::fuzz
