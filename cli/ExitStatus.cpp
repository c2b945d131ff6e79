#include "cli/ExitStatus.h"

#include "cli/Commands.h"

namespace vyr::cli {

int ExitStatusFor(const album::LoadResult& result)
{
    using album::ScanOutcome;
    if (result.kind == album::FileKind::Unreadable || result.kind == album::FileKind::Refused) return kExitUsage;
    if (result.scan) {
        if (*result.scan == ScanOutcome::Failed || *result.scan == ScanOutcome::Stopped) return kExitUsage;
        if (*result.scan == ScanOutcome::NothingFound) return kExitNotAnAlbum;
        return kExitOk;
    }
    return result.kind == album::FileKind::Album ? kExitOk : kExitNotAnAlbum;
}

}  // namespace vyr::cli
