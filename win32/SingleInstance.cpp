#include "win32/SingleInstance.h"

namespace vyr::win32 {

SingleInstance::SingleInstance(const wchar_t* name)
{
    ::SetLastError(ERROR_SUCCESS);
    m_mutex = ::CreateMutexW(nullptr, FALSE, name);
    const DWORD error = ::GetLastError();
    // Access denied: a copy started under another account holds the name in this session. Any
    // other failure leaves no way to tell, and a window that starts beats one that never does.
    m_first = error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
}

SingleInstance::~SingleInstance()
{
    if (m_mutex) ::CloseHandle(m_mutex);
}

}  // namespace vyr::win32
