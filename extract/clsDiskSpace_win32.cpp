#include "extract/clsDiskSpace.h"

#include <windows.h>

#include "support/Win32.h"

namespace vyr::extract {

namespace {

class WindowsVolumes final : public VolumeQuery {};

}  // namespace

bool VolumeQuery::HasExtended() const
{
    // Probed afresh at every call: systems from before the 64-bit query lack the entry point,
    // and a program that linked it directly would not start there at all.
    HMODULE kernel = ::LoadLibraryW(L"kernel32.dll");
    if (kernel == nullptr) return false;
    const bool found = ::GetProcAddress(kernel, "GetDiskFreeSpaceExW") != nullptr;
    ::FreeLibrary(kernel);
    return found;
}

std::optional<ExtendedFigures> VolumeQuery::Extended(const std::string& root) const
{
    const std::optional<std::wstring> wide = support::WidePath(root);
    if (!wide || wide->empty()) return std::nullopt;
    ULARGE_INTEGER caller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free{};
    if (!::GetDiskFreeSpaceExW(wide->c_str(), &caller, &total, &free)) return std::nullopt;
    return ExtendedFigures{caller.QuadPart, total.QuadPart, free.QuadPart};
}

std::optional<LegacyFigures> VolumeQuery::Legacy(const std::string& root) const
{
    const std::optional<std::wstring> wide = support::WidePath(root);
    if (!wide || wide->empty()) return std::nullopt;
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!::GetDiskFreeSpaceW(wide->c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return std::nullopt;
    return LegacyFigures{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
}

const VolumeQuery& PlatformVolumes()
{
    static const WindowsVolumes volumes;
    return volumes;
}

}  // namespace vyr::extract
