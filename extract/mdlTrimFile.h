#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vyr::extract {

enum class CopyError {
    None,
    BadRange,  // negative start or count, or a range past the end of the source
    BadName,  // the target's file name is empty, "." or "..", or holds a control character
    SourceUnreadable,  // missing, not a regular file, no permission
    TargetFolderUnusable,  // missing, not a folder, a symbolic link, or no permission
    TargetExists,  // also when the name was taken while the bytes were being copied
    CreateFailed,  // the temporary file could not be made (read-only medium, no permission)
    ReadFailed,  // includes a source that shrank during the copy
    WriteFailed,  // disk full, quota, I/O error
};

struct CopyResult {
    CopyError error = CopyError::None;
    int errorNumber = 0;  // errno of the failing call, 0 when the failure is a rule of ours
    std::string reason;  // one line for the user

    bool Ok() const { return error == CopyError::None; }
};

struct CopyOptions {
    // Called with the bytes copied so far, about every progressStep bytes, so a window can
    // repaint during a long track.
    std::function<void(std::int64_t)> progress;
    std::int64_t progressStep = 16 << 20;
    // Copy through our own buffer instead of the kernel; tests use it to run the fallback.
    bool kernelCopy = true;
    // Keep the bytes in flight under a hidden name instead of none, as on file systems without
    // unnamed files; tests use it to run that path.
    bool unnamedTemp = true;
};

// Writes `count` bytes of `sourcePath` from `start` on into a new file `targetPath`. The bytes
// go to a temporary file in the target folder first and reach the final name only once all of
// them are written, and never in place of an existing file or through a link at that name: on
// any failure nothing is left behind and no existing file has changed.
CopyResult CopyFileRange(const std::string& targetPath, std::int64_t start, std::int64_t count,
                         const std::string& sourcePath, const CopyOptions& options = {});

}  // namespace vyr::extract
