#include "album/TrackTable.h"

#include <utility>

namespace vyr::album {

void TrackTable::Reset()
{
    m_rows.clear();
    m_rows.emplace_back();
}

TrackEntry& TrackTable::NextRow(bool rowZeroFree)
{
    if (m_rows.empty()) m_rows.emplace_back();
    if (rowZeroFree) return m_rows.front();
    return m_rows.emplace_back();
}

bool TrackTable::Rename(int row, std::string name)
{
    if (name.empty() || row < 0 || row >= Count()) return false;
    m_rows[static_cast<std::size_t>(row)].fileName = std::move(name);
    return true;
}

}  // namespace vyr::album
