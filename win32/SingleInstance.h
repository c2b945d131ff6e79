#pragma once

#include "win32/Api.h"

namespace vyr::win32 {

// One running window per user session: a named mutex that the first copy creates and holds for
// its lifetime. The system drops it when that process ends, crashed or not, so it never blocks
// the next start.
class SingleInstance {
public:
    static constexpr const wchar_t* kMutexName = L"Local\\vyr-extract.frmAlbum";

    explicit SingleInstance(const wchar_t* name = kMutexName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other copy held the name: this one is the first.
    bool IsFirst() const { return m_first; }

private:
    HANDLE m_mutex = nullptr;
    bool m_first = false;
};

}  // namespace vyr::win32
