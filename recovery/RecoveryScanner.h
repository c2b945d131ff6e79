#pragma once

#include <memory>
#include <optional>
#include <string>

#include "album/AlbumState.h"
#include "album/RecoveryScan.h"

namespace vyr::recovery {

struct WalkResult;

// The scan a load hands a file without a header to: the classic block walk or the precise
// frame walk. With `readAlong` (a caller that answers Yes to a scan without asking) the classic
// walk reads the file along with the loader's first pass, so that such a file is read once.
class RecoveryScanner final : public album::RecoveryScan {
public:
    explicit RecoveryScanner(album::RecoveryMethod method = album::RecoveryMethod::Classic, bool readAlong = false);
    ~RecoveryScanner() override;
    RecoveryScanner(const RecoveryScanner&) = delete;
    RecoveryScanner& operator=(const RecoveryScanner&) = delete;

    std::optional<album::HeaderScan> ReadAlong(const std::string& path, album::AlbumWindow& window) override;
    album::ScanOutcome Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path) override;

private:
    album::RecoveryMethod m_method;
    bool m_readAlong;
    std::string m_walkedPath;
    std::unique_ptr<WalkResult> m_walked;  // the walk ReadAlong made, for the scan that follows
};

}  // namespace vyr::recovery
