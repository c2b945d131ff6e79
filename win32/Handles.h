#pragma once

#include "win32/Api.h"

#include <utility>

// Owned GDI objects and icons: released when replaced or when their owner goes.
namespace vyr::win32 {

template <typename Handle, BOOL(WINAPI* Release)(Handle)>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : m_handle(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(Handle handle = nullptr)
    {
        if (m_handle) Release(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

inline BOOL WINAPI ReleaseFont(HFONT font) { return ::DeleteObject(font); }
inline BOOL WINAPI ReleaseBitmap(HBITMAP bitmap) { return ::DeleteObject(bitmap); }

using Font = Owned<HFONT, ReleaseFont>;
using Bitmap = Owned<HBITMAP, ReleaseBitmap>;
using Icon = Owned<HICON, ::DestroyIcon>;

}  // namespace vyr::win32
