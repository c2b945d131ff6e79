#include "extract/mdlTrimFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "extract/PartKey.h"
#include "extract/mdlTrimFilePlatform.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

// A batch is what was written while the batch before was flushed, so that the flushes come as
// often as the medium takes them and no more often. It holds at most this many bytes, so that a
// stop or a failure drops little and the wait for the last flush stays short; how many files it
// may hold open, the platform says (two batches are held at a time).
constexpr std::int64_t kBatchBytes = std::int64_t{64} << 20;

// Why a copy may not begin: a range outside the album, a name that is not plain or too long,
// or a name taken already. None when it may.
CopyResult Refusal(const support::Folder& folder, const std::string& name, std::int64_t start, std::int64_t count,
                   const support::File& source)
{
    if (start < 0 || count <= 0) return CopyFailure(CopyError::BadRange, msg::kReasonBadRange);
    if (start > source.Length() || count > source.Length() - start)
        return CopyFailure(CopyError::BadRange, msg::kReasonPastEnd);
    if (!support::IsPlainFileName(name)) return CopyFailure(CopyError::BadName, msg::kReasonBadName);
    if (!support::FitsFileSystem(name)) return CopyFailure(CopyError::BadName, msg::kReasonNameTooLong);
#ifdef _WIN32
    // Windows names are UTF-16: bytes that are not UTF-8 name no file there.
    if (!support::IsValidUtf8(name)) return CopyFailure(CopyError::BadName, msg::kReasonBadName);
#endif
    if (folder.HasEntry(name)) return CopyFailure(CopyError::TargetExists, msg::kReasonTargetExists);
    return {};
}

CopyResult NamingFailure(int number)
{
    if (number == EEXIST) return CopyFailure(CopyError::TargetExists, msg::kReasonTargetAppeared);
    return CopyFailure(CopyError::WriteFailed, msg::kReasonPublish, number);
}

CopyResult Stopped() { return CopyFailure(CopyError::Stopped, msg::kReasonStopped); }

// One copy whose bytes are written, waiting for its name.
struct Pending {
    int id = 0;
    std::string name;
    TemporaryFile file;
};

// Puts the batch's bytes on the medium, names its copies, then flushes the folder: a name
// that the folder could not keep is taken back. Once `dropping` is set, no more are named.
std::vector<SettledCopy> Publish(const support::Folder& folder, std::vector<Pending>& batch, const CopyOptions& options,
                                 const std::atomic<bool>& dropping)
{
    std::vector<Temporary*> files;
    files.reserve(batch.size());
    for (const Pending& copy : batch) files.push_back(copy.file.get());
    const std::vector<int> flushed =
        dropping ? std::vector<int>(batch.size(), 0) : FlushTemporaries(folder, files, options);
    std::vector<SettledCopy> settled;
    std::vector<const Pending*> named;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (dropping)
            settled.push_back({batch[i].id, Stopped()});
        else if (flushed[i] != 0)
            settled.push_back({batch[i].id, CopyFailure(CopyError::WriteFailed, msg::kReasonWrite, flushed[i])});
        else if (const int number = NameTemporary(*batch[i].file, batch[i].name, options); number != 0)
            settled.push_back({batch[i].id, NamingFailure(number)});
        else
            named.push_back(&batch[i]);
    }
    if (named.empty()) return settled;
    const int number = FlushFolder(folder, options);
    for (const Pending* copy : named) {
        if (number != 0) RemoveName(folder, copy->name, options);
        settled.push_back(
            {copy->id, number != 0 ? CopyFailure(CopyError::WriteFailed, msg::kReasonPublish, number) : CopyResult{}});
    }
    return settled;
}

}  // namespace

CopyResult CopyFailure(CopyError error, std::string_view text, int number)
{
    std::string what(text);
    if (number != 0) what += ": " + std::generic_category().message(number);
    return CopyResult{error, number, std::move(what)};
}

CopyResult CopyFileRange(const support::Folder& folder, const std::string& name, std::int64_t start, std::int64_t count,
                         const support::File& source, const CopyOptions& options)
{
    if (CopyResult refused = Refusal(folder, name, start, count, source); !refused.Ok()) return refused;
    TemporaryFile file;
    if (CopyResult written = WriteTemporary(folder, start, count, source, options, file); !written.Ok()) return written;
    if (options.sync) {
        if (const int number = FlushTemporaries(folder, {file.get()}, options).front(); number != 0)
            return CopyFailure(CopyError::WriteFailed, msg::kReasonWrite, number);
    }
    if (const int number = NameTemporary(*file, name, options); number != 0) return NamingFailure(number);
    // The new name itself reaches the medium with the folder.
    if (const int number = options.sync ? FlushFolder(folder, options) : 0; number != 0) {
        RemoveName(folder, name, options);
        return CopyFailure(CopyError::WriteFailed, msg::kReasonPublish, number);
    }
    return {};
}

CopyResult CopyFileRange(const std::string& targetPath, std::int64_t start, std::int64_t count,
                         const std::string& sourcePath, const CopyOptions& options)
{
    support::File source;
    if (const support::OpenResult opened = source.Open(sourcePath); !opened.Ok()) {
        if (opened.error != support::OpenError::CannotOpen)
            return CopyFailure(CopyError::SourceUnreadable, msg::kReasonNotRegular);
        return CopyFailure(CopyError::SourceUnreadable, msg::kReasonOpenAlbum, opened.systemError);
    }
    // A trailing separator would make the kernel follow a link at the name, so it goes first.
    const std::string name = support::FileNameFromPath(targetPath);
    if (!support::IsPlainFileName(name)) return CopyFailure(CopyError::BadName, msg::kReasonBadName);
#ifdef _WIN32
    // The separator stays: "C:" alone is the working folder of drive C, not its root.
    const std::string folderOfTarget = support::FolderOfPath(targetPath);
    const std::string folderPath = !folderOfTarget.empty() ? folderOfTarget : ".";
#else
    const std::string folderOfTarget = support::StripTrailingBackslash(support::FolderOfPath(targetPath));
    const std::string folderPath = !folderOfTarget.empty() ? folderOfTarget : targetPath.front() == '/' ? "/" : ".";
#endif
    support::Folder folder;
    if (const support::OpenResult opened = folder.Open(folderPath); !opened.Ok())
        return CopyFailure(CopyError::TargetFolderUnusable, msg::kReasonOpenFolder, opened.systemError);
    return CopyFileRange(folder, name, start, count, source, options);
}

struct CopyQueue::State {
    State(const support::Folder& folder, const CopyOptions& options) : folder(folder), options(options) {}

    // Whether the thread waits for work: the batch filled so far is then handed to it at once.
    bool Idle()
    {
        const std::lock_guard lock(mutex);
        return handed.empty() && !flushing;
    }

    // Hands the filled batch to the thread, once it is done with the one before: two batches at
    // most are held open.
    void Hand()
    {
        if (filling.empty()) return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return handed.empty() && !flushing; });
        handed = std::move(filling);
        filling.clear();
        fillingBytes = 0;
        if (!flusher.joinable()) flusher = std::thread([this] { Run(); });
        changed.notify_all();
    }

    void Run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return quit || !handed.empty(); });
            if (handed.empty()) return;
            std::vector<Pending> batch = std::move(handed);
            handed.clear();
            flushing = true;
            lock.unlock();
            std::vector<SettledCopy> done = Publish(folder, batch, options, dropping);
            batch.clear();  // removes what was not named
            lock.lock();
            for (SettledCopy& copy : done) settled.push_back(std::move(copy));
            flushing = false;
            changed.notify_all();
        }
    }

    void WaitUntilIdle()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return handed.empty() && !flushing; });
    }

    const support::Folder& folder;
    const CopyOptions options;
    const std::size_t batchFiles = std::max<std::size_t>(TemporariesHeldAtOnce() / 2, 1);
    std::vector<Pending> filling;  // the caller's own
    std::int64_t fillingBytes = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Pending> handed;  // waiting for the thread
    bool flushing = false;
    bool quit = false;
    std::vector<SettledCopy> settled;
    std::atomic<bool> dropping{false};
    std::thread flusher;  // started with the first batch
};

CopyQueue::CopyQueue(const support::Folder& folder, const CopyOptions& options)
    : m_state(std::make_unique<State>(folder, options))
{
}

CopyQueue::~CopyQueue()
{
    Drop();
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->quit = true;
    }
    m_state->changed.notify_all();
    if (m_state->flusher.joinable()) m_state->flusher.join();
}

CopyResult CopyQueue::Add(int id, const std::string& name, std::int64_t start, std::int64_t count,
                          const support::File& source)
{
    State& state = *m_state;
    if (CopyResult refused = Refusal(state.folder, name, start, count, source); !refused.Ok()) return refused;
    TemporaryFile file;
    if (CopyResult written = WriteTemporary(state.folder, start, count, source, state.options, file); !written.Ok())
        return written;
    if (!state.options.sync) {
        const int number = NameTemporary(*file, name, state.options);
        const std::lock_guard lock(state.mutex);
        state.settled.push_back({id, number != 0 ? NamingFailure(number) : CopyResult{}});
        return {};
    }
    state.filling.push_back(Pending{id, name, std::move(file)});
    state.fillingBytes += count;
    if (state.filling.size() >= state.batchFiles || state.fillingBytes >= kBatchBytes || state.Idle()) state.Hand();
    return {};
}

std::vector<SettledCopy> CopyQueue::TakeSettled()
{
    const std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->settled, {});
}

void CopyQueue::Finish()
{
    m_state->Hand();
    m_state->WaitUntilIdle();
}

void CopyQueue::Drop()
{
    State& state = *m_state;
    state.dropping = true;
    std::vector<SettledCopy> stopped;
    for (const Pending& copy : state.filling) stopped.push_back({copy.id, Stopped()});
    state.filling.clear();
    std::unique_lock lock(state.mutex);
    for (const Pending& copy : state.handed) stopped.push_back({copy.id, Stopped()});
    state.handed.clear();
    for (SettledCopy& copy : stopped) state.settled.push_back(std::move(copy));
    state.changed.wait(lock, [&state] { return !state.flushing; });
    state.dropping = false;
}

int RemoveLeftoverParts(const support::Folder& folder)
{
    const std::optional<PartKey> key = PartKey::KeptForUser();
    return key ? RemoveLeftoverParts(folder, *key) : 0;
}

}  // namespace vyr::extract
