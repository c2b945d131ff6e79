#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/File.h"

namespace vyr::extract {

class PartKey;
class SystemCalls;

enum class CopyError {
    None,
    BadRange,  // negative start or count, or a range past the end of the source
    BadName,  // the target's file name is empty, "." or "..", or holds a control character
    SourceUnreadable,  // missing, not a regular file, no permission
    TargetFolderUnusable,  // missing, not a folder, or no permission
    TargetExists,  // also when the name was taken while the bytes were being copied
    CreateFailed,  // the temporary file could not be made (read-only medium, no permission)
    ReadFailed,  // includes a source that shrank during the copy
    WriteFailed,  // disk full, quota, I/O error, an error that only the flush or the close told
    Stopped,  // the caller asked the copy to stop
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
    // Linux only: Windows always copies through the buffer.
    bool kernelCopy = true;
    // Keep the bytes in flight under a hidden name instead of none, as on file systems without
    // unnamed files; tests use it to run that path. Linux only: Windows has no unnamed files, so
    // its bytes in flight always have a hidden name.
    bool unnamedTemp = true;
    // Flush the bytes to the medium before the file gets its name, and the folder after it: a
    // track that has its name is then whole on the disk even if the machine goes down or the
    // stick is pulled right away. Without it the system writes back when it likes, as for cp.
    bool sync = false;
    // Asked between the copy's steps; once it answers true the copy stops, leaves nothing behind
    // and reports Stopped.
    std::function<bool()> stopRequested;
    // Linux's system calls the copy makes; the real ones unless a test passes its own.
    const SystemCalls* calls = nullptr;
};

// Writes `count` bytes of `source` from `start` on into a new file `name` of `folder`. The bytes
// go to a temporary file in that folder first and get the name only once all of them are there
// (and, with `sync`, on the medium), never in place of an existing file or through a link at
// that name: on any failure nothing is left behind and no existing file has changed. Nothing is
// looked up by path: the folder and the source are the ones the caller opened.
CopyResult CopyFileRange(const support::Folder& folder, const std::string& name, std::int64_t start, std::int64_t count,
                         const support::File& source, const CopyOptions& options = {});

// The same for paths: opens the source and the target's folder (following links in the folder's
// path), then copies as above.
CopyResult CopyFileRange(const std::string& targetPath, std::int64_t start, std::int64_t count,
                         const std::string& sourcePath, const CopyOptions& options = {});

// What became of a copy that a CopyQueue held: the id it was added with, and its result.
struct SettledCopy {
    int id = 0;
    CopyResult result;
};

// The copies of one run into one folder, each made as CopyFileRange makes it. Without `sync`
// each gets its name as soon as its bytes are written. With `sync` they get their names in
// batches: a thread of the queue's own puts all of a batch's bytes on the medium at once, where
// a flush of each file would wait for the disk once a file, then names its copies and flushes
// the folder, while the next batch is written. No copy is named before its bytes are on the
// medium, and one that fails or is dropped leaves nothing behind.
class CopyQueue {
public:
    CopyQueue(const support::Folder& folder, const CopyOptions& options);
    // Drops what is still pending.
    ~CopyQueue();
    CopyQueue(const CopyQueue&) = delete;
    CopyQueue& operator=(const CopyQueue&) = delete;

    // Copies `count` bytes of `source` from `start` into a new file `name` of the folder. A copy
    // refused, failed or stopped before all its bytes were written comes back here, and is
    // never settled; any other is settled later, or at once without sync.
    CopyResult Add(int id, const std::string& name, std::int64_t start, std::int64_t count,
                   const support::File& source);
    // The copies settled since the last call.
    std::vector<SettledCopy> TakeSettled();
    // Names every copy still pending, once its bytes are on the medium; each is then settled.
    void Finish();
    // Names none of the copies still pending: each is settled as stopped and leaves nothing.
    void Drop();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A copy that was killed on the way leaves its temporary file behind where the file system has
// no unnamed files (on Windows always), named with this user's tag (PartKey). This removes those
// of `folder` that carry the tag of `key`, whose process no longer runs, that are regular files
// (on Linux of this user) and that no writer holds open (Linux: its lock; Windows: its refusal
// to share deletion), and nothing else. Returns how many.
int RemoveLeftoverParts(const support::Folder& folder);
int RemoveLeftoverParts(const support::Folder& folder, const PartKey& key);

}  // namespace vyr::extract
