#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/FixedPoint.h"
#include "support/SharedText.h"

namespace vyr::album {

struct TrackEntry {
    std::string fileName;  // UTF-8; the name the track is written under in the target folder
    std::int32_t byteCount = 0;
    bool hasByteCount = false;  // only rows with a positive byte count are ever written
    bool ticked = false;  // the row's check box in the list: only ticked rows are written
    support::FixedPoint duration;  // seconds
    // UTF-8. Shared: rows that carry over one track-info line hold one copy of its text.
    support::SharedText displayName;
};

// The tracks of the one file that is open. Row i belongs to list item i (both 0-based here).
class TrackTable {
public:
    // The list and the table are walked with signed 16-bit indexes.
    static constexpr int kMaxRows = 32'767;

    // Discards every row and leaves exactly one empty row 0.
    void Reset();
    // Room for that many rows, so that a long header's rows are not moved again and again as the
    // table grows. Room never used is never touched, and so costs no memory.
    void Reserve(std::size_t rows) { m_rows.reserve(rows); }

    // The row a new track goes into: row 0 while the filler says it is still free, else a new
    // row appended at the end. The caller keeps the count within kMaxRows.
    TrackEntry& NextRow(bool rowZeroFree);

    // Sets a row's fileName; an empty name changes nothing. False for an empty name or a row
    // out of range.
    bool Rename(int row, std::string name);

    int Count() const { return static_cast<int>(m_rows.size()); }
    bool Empty() const { return m_rows.empty(); }
    const TrackEntry& operator[](int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    TrackEntry& operator[](int row) { return m_rows.at(static_cast<std::size_t>(row)); }
    auto begin() const { return m_rows.begin(); }
    auto end() const { return m_rows.end(); }

private:
    std::vector<TrackEntry> m_rows;
};

}  // namespace vyr::album
