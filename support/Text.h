#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace vyr::support {

// Removes leading and trailing spaces (character 32 only, as the header rules trim).
std::string_view TrimSpaces(std::string_view text);

// Header bytes as UTF-8 for display and file names: valid UTF-8 is kept, anything else is read
// as Windows-1252, one character per byte. Positions and lengths are always counted on the bytes.
std::string ToDisplayText(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// Text as a terminal may be shown it: control characters (C0, DEL, C1), which would reach the
// terminal as commands, and bytes that are not UTF-8 each become "?". Past `maxCharacters` the
// text is cut and ends in "…", so one hostile value cannot widen every line of a table.
std::string TerminalText(std::string_view text, std::size_t maxCharacters = std::string_view::npos);

// A message's text for the terminal: lines ended by CR LF or LF come out ended by LF, each
// passed through TerminalText, so header text in a message cannot command the terminal.
std::string TerminalLines(std::string_view text);
// The same, written to `out` line by line: a long message is never held twice.
void WriteTerminalLines(std::ostream& out, std::string_view text);

// The characters TerminalText shows of `text`, counting no further than `limit`.
std::size_t TerminalWidth(std::string_view text, std::size_t limit = std::string_view::npos);

// The digits of a value in groups of three: 32767 becomes "32,767" with ",".
std::string GroupThousands(std::uint64_t value, std::string_view separator);

// The list's "Size" text: bytes / 1023.8, rounded half away from zero, grouped in threes with
// the given thousands separator (the user's, from the front end), no digits at all when it
// rounds to 0, then "Kb".
std::string SizeText(std::int64_t byteCount, std::string_view separator);

// `text` with A to Z made a to z, as FAT, NTFS and Windows compare names; other bytes stay.
std::string FoldAsciiCase(std::string_view text);

// The start of the hidden names the copy gives its temporary files where it must name them.
inline constexpr std::string_view kPartPrefix = ".vyr-part-";

// A name the extract command may join to the target folder: not empty, not "." or "..", no
// path separator of either platform and no control character. A header could otherwise name
// "../../.bashrc". Nor one that begins as the copy's temporaries do, in any case, as FAT and
// Windows compare names: a track must never be taken for a leftover of the copy. On Windows also
// none that the system reads as a device, a stream or another drive's folder (NUL.mp3, a:b.mp3,
// C:x.mp3), with wildcards, or ending in a dot or space.
bool IsPlainFileName(std::string_view name);

// The most a file system takes in one name: 255 bytes on Linux, 255 UTF-16 units on Windows.
inline constexpr std::size_t kMaxNameUnits = 255;

// A name (UTF-8) short enough for the file system: no file of a longer name can be made, so a
// copy under it would write every byte only to fail when the file is named.
bool FitsFileSystem(std::string_view name);

}  // namespace vyr::support
