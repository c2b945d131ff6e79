#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace vyr::app {

namespace {

QString DefaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("vyr-extract.lock"));
}

}  // namespace

SingleInstance::SingleInstance(const QString& lockPath)
    : m_path(lockPath.isEmpty() ? DefaultLockPath() : lockPath), m_lock(std::make_unique<QLockFile>(m_path))
{
    // Stale only when the owner no longer runs: Qt then takes the lock over. A live owner keeps
    // it however old the file is, so a window left open for days still counts.
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

SingleInstance::~SingleInstance() = default;

}  // namespace vyr::app
