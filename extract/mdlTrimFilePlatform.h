#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "extract/PartKey.h"
#include "extract/mdlTrimFile.h"
#include "support/File.h"

// The platform's half of the copy (mdlTrimFile_posix.cpp, mdlTrimFile_win32.cpp): the steps
// from a range of the album to a named file, which the copy of one track (CopyFileRange) and the
// queue of a run's tracks (CopyQueue) put together in mdlTrimFile.cpp.
namespace vyr::extract {

// A copy's bytes in a temporary file of the target folder, their length checked, not named yet.
// Each half derives its own; destroying one that was not named removes its file.
class Temporary {
public:
    virtual ~Temporary() = default;
};
using TemporaryFile = std::unique_ptr<Temporary>;

// Writes the range into a new temporary file of `folder` and checks its length. The range lies
// inside the source; on failure nothing is left behind and `file` is left as it was.
CopyResult WriteTemporary(const support::Folder& folder, std::int64_t start, std::int64_t count,
                          const support::File& source, const CopyOptions& options, TemporaryFile& file);

// Puts the bytes of every file on the medium: for each, 0 or the errno of its failure.
std::vector<int> FlushTemporaries(const support::Folder& folder, const std::vector<Temporary*>& files,
                                  const CopyOptions& options);

// Gives the file `name` of its folder, never in place of anything there, a link included; it is
// closed on the way, and the close checked. 0 or errno; on failure the name is not taken.
int NameTemporary(Temporary& file, const std::string& name, const CopyOptions& options);

// The names given since the last flush on the medium, where naming did not already put them
// there: 0 or errno.
int FlushFolder(const support::Folder& folder, const CopyOptions& options);

// Takes back a name that the folder could not keep.
void RemoveName(const support::Folder& folder, const std::string& name, const CopyOptions& options);

// How many temporary files a run may hold open at once, within what the process may open.
std::size_t TemporariesHeldAtOnce();

// `text`, followed by the system's text for `number` unless it is 0.
CopyResult CopyFailure(CopyError error, std::string_view text, int number = 0);

}  // namespace vyr::extract
