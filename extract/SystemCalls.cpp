#include "extract/SystemCalls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace vyr::extract {

int SystemCalls::OpenAt(int folder, const char* name, int flags, mode_t mode) const
{
    return ::openat(folder, name, flags, mode);
}

int SystemCalls::Pipe(int ends[2]) const { return ::pipe2(ends, O_CLOEXEC); }

ssize_t SystemCalls::Splice(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const
{
    return ::splice(in, inOffset, out, outOffset, length, SPLICE_F_MOVE);
}

ssize_t SystemCalls::CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const
{
    return ::copy_file_range(in, inOffset, out, outOffset, length, 0);
}

ssize_t SystemCalls::PRead(int fd, void* buffer, std::size_t count, off_t offset) const
{
    return ::pread(fd, buffer, count, offset);
}

ssize_t SystemCalls::PWrite(int fd, const void* buffer, std::size_t count, off_t offset) const
{
    return ::pwrite(fd, buffer, count, offset);
}

int SystemCalls::FStat(int fd, struct stat* info) const { return ::fstat(fd, info); }

int SystemCalls::FDataSync(int fd) const { return ::fdatasync(fd); }

int SystemCalls::FSync(int fd) const { return ::fsync(fd); }

int SystemCalls::SyncFs(int fd) const { return ::syncfs(fd); }

int SystemCalls::SyncFileRange(int fd, off_t offset, off_t count, unsigned flags) const
{
    return ::sync_file_range(fd, offset, count, flags);
}

int SystemCalls::Close(int fd) const { return ::close(fd); }

int SystemCalls::LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int SystemCalls::RenameNoReplace(int fromFolder, const char* from, int toFolder, const char* to) const
{
    return ::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE);
}

int SystemCalls::UnlinkAt(int folder, const char* name) const { return ::unlinkat(folder, name, 0); }

const SystemCalls& RealSystemCalls()
{
    static const SystemCalls calls;
    return calls;
}

}  // namespace vyr::extract
