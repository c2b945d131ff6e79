#include "recovery/RecoveryScanner.h"

#include <utility>

#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "recovery/WalkAlong.h"

namespace vyr::recovery {

RecoveryScanner::RecoveryScanner(album::RecoveryMethod method, bool readAlong)
    : m_method(method), m_readAlong(readAlong)
{
}

RecoveryScanner::~RecoveryScanner() = default;

std::optional<album::HeaderScan> RecoveryScanner::ReadAlong(const std::string& path, album::AlbumWindow& window)
{
    m_walked.reset();
    if (!m_readAlong || m_method != album::RecoveryMethod::Classic) return std::nullopt;
    std::optional<FirstPassAndWalk> along = WalkWithFirstPass(path, window);
    if (!along) return std::nullopt;
    if (along->header.stopped) return std::move(along->header);
    m_walkedPath = path;
    m_walked = std::make_unique<WalkResult>(std::move(along->walk));
    return std::move(along->header);
}

album::ScanOutcome RecoveryScanner::Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    if (m_method == album::RecoveryMethod::Precise) return ScanPrecisely(state, window, path);
    if (m_walked && m_walkedPath == path) {
        WalkResult walked = std::move(*m_walked);
        m_walked.reset();
        return ScanAndRecover(state, window, path, std::move(walked));
    }
    return ScanAndRecover(state, window, path);
}

}  // namespace vyr::recovery
