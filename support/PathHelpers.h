#pragma once

#include <string>
#include <string_view>

#include "support/FixedPoint.h"

namespace vyr::support {

// The separator the helpers split and join paths at. Tests pass the other platform's to check
// its rules too; everything else uses the platform's own.
#ifdef _WIN32
inline constexpr char kNativeSeparator = '\\';
#else
inline constexpr char kNativeSeparator = '/';
#endif

// True only for a regular file (or a link to one) of at least one byte: an empty file that a
// failed copy once left behind counts as absent, and a folder is not a file. Never throws.
bool FileExists(const std::string& path);

// The text after the last separator; the whole path when it has none; empty for "" or a path
// that ends in a separator.
std::string FileNameFromPath(std::string_view path, char separator = kNativeSeparator);

// The path with its file name cut off, keeping the trailing separator; empty when the path has
// no separator.
std::string FolderOfPath(std::string_view path, char separator = kNativeSeparator);

// Removes exactly one trailing separator, so "/" becomes "".
std::string StripTrailingBackslash(std::string_view path, char separator = kNativeSeparator);

// Appends a separator unless the path is empty or already ends in one: "" never becomes "/".
std::string AddTrailingBackslash(std::string_view path, char separator = kNativeSeparator);

// The path as seen from `currentFolder` (itself absolute): an absolute path is returned as it
// is, a relative one is joined to the folder with its "." parts and repeated separators left
// out. ".." stays, since only the file system knows where it leads past a link. A path that
// ended in a separator, ".", or nothing at all (the folder itself) ends in one again.
std::string AbsolutePath(std::string_view path, std::string_view currentFolder);

// The same from the process's working folder; the path unchanged when that cannot be asked.
// Every entry point runs a name the user gave through it before anything else, so a name
// typed in the album's own folder gets the folder it lies in.
std::string AbsolutePath(std::string_view path);

// "mm:ss", or "h:mm:ss" from an hour on; fractions of a second are dropped, never rounded up,
// and negative values floor (−1 s is "-01:59").
std::string FormatDuration(FixedPoint seconds);

}  // namespace vyr::support
