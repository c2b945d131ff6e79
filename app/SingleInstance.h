#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace vyr::app {

// One running window per user. The lock is a file in the user's runtime folder that holds the
// owner's process id; a lock whose owner no longer runs (a crash) is taken over, so it never
// blocks the next start.
class SingleInstance {
public:
    // `lockPath` empty: "vyr-extract.lock" in the runtime folder (the temporary folder without one).
    explicit SingleInstance(const QString& lockPath = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the lock: it is the first copy.
    bool IsFirst() const { return m_first; }
    const QString& LockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_first = false;
};

}  // namespace vyr::app
