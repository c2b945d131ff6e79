#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::recovery {

// Track names from what is left of an album header in front of the first frame sync: the text
// is split at every ".mp3", and each piece but the last names one track by its text after the
// last "]", spaces trimmed. Fed in pieces as the walk reads, it keeps only the names and the
// current piece's name so far, never the header text itself.
class HeaderNames {
public:
    // Longer names would be refused by most file systems; they count as empty.
    static constexpr std::size_t kMaxNameBytes = 200;
    // Names are counted with a signed 16-bit counter, like the rows.
    static constexpr std::size_t kMaxNames = 32'767;

    HeaderNames() { m_names.emplace_back(); }

    void Feed(std::string_view bytes);

    // Entry 0 stays empty until the first non-empty name; every later piece takes one entry,
    // empty or not. Raw header bytes, not yet display text.
    const std::vector<std::string>& Names() const { return m_names; }
    // More than kMaxNames names: the scan cannot go on counting them.
    bool Overflowed() const { return m_overflowed; }

private:
    void Take(char ch);
    void EndPiece();

    std::vector<std::string> m_names;
    std::string m_name;  // the current piece after its last "]", leading spaces dropped
    std::size_t m_pendingSpaces = 0;  // spaces after m_name that a later character would keep
    bool m_tooLong = false;
    std::size_t m_matched = 0;  // bytes of ".mp3" matched so far
    bool m_overflowed = false;
};

// The name the file system lists for an existing path (its last component, in the case the
// folder holds it); empty when nothing matches.
std::string ListedName(const std::string& path);

// Row i's file name: "[nn] name.mp3" from header name i when entry 0 is not empty and entry i
// exists and is not empty, otherwise "[nn] " + the listed name up to its first "." + "mp3". The
// listed name's characters that either platform refuses in a file name become "_", and the
// name is cut to 255 bytes, so every name made here can be written on Linux and Windows alike.
std::string RowFileName(int row, const std::vector<std::string>& names, std::string_view listedName);

}  // namespace vyr::recovery
