#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace vyr::extract {

// The system calls a copy makes, each behind one virtual function, so a test can make any one
// of them fail, come back short or be interrupted at the call it chooses and see every route and
// every fallback run. The base class makes the real calls; a test derives and overrides. Every
// function returns what the system call returns and leaves errno as the system call leaves it.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int OpenAt(int folder, const char* name, int flags, mode_t mode) const;
    virtual int Pipe(int ends[2]) const;
    virtual ssize_t Splice(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const;
    virtual ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const;
    virtual ssize_t PRead(int fd, void* buffer, std::size_t count, off_t offset) const;
    virtual ssize_t PWrite(int fd, const void* buffer, std::size_t count, off_t offset) const;
    virtual int FStat(int fd, struct stat* info) const;
    virtual int FDataSync(int fd) const;
    virtual int FSync(int fd) const;
    virtual int SyncFs(int fd) const;
    virtual int SyncFileRange(int fd, off_t offset, off_t count, unsigned flags) const;
    virtual int Close(int fd) const;
    virtual int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const;
    virtual int RenameNoReplace(int fromFolder, const char* from, int toFolder, const char* to) const;
    virtual int UnlinkAt(int folder, const char* name) const;
};

// The real calls, for everything but tests.
const SystemCalls& RealSystemCalls();

}  // namespace vyr::extract
