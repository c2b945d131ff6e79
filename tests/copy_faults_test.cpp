#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/SystemCalls.h"
#include "extract/mdlTrimFile.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

namespace vyr::extract {
namespace {

using test::Entries;
using test::PatternBytes;
using test::TempDir;
using test::WriteFile;

// The calls a fault can hit. A splice into the pipe and one out of it are told apart, since a
// target that refuses pipe writes fails only the second.
enum class Call { SpliceIn, SpliceOut, CopyRange, PRead, PWrite, FStat, FDataSync, FSync, Close, kCount };

// What the chosen call does instead of its work: fail with the errno, move fewer bytes than
// asked, be interrupted before doing anything, or move one byte fewer than it says it did.
enum class Fault { Fail, Short, Interrupt, Lie };

// The real calls, except that call number `at` (from 1) of kind `call` does `fault`.
class FaultyCalls final : public SystemCalls {
public:
    FaultyCalls(Call call, int at, Fault fault, int number) : m_call(call), m_at(at), m_fault(fault), m_number(number)
    {
    }

    int Count(Call call) const { return m_counts[static_cast<std::size_t>(call)]; }

    ssize_t Splice(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const override
    {
        const Call call = outOffset != nullptr ? Call::SpliceOut : Call::SpliceIn;
        return Moved(call, length, [&](std::size_t n) { return SystemCalls::Splice(in, inOffset, out, outOffset, n); });
    }
    ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const override
    {
        return Moved(Call::CopyRange, length,
                     [&](std::size_t n) { return SystemCalls::CopyFileRange(in, inOffset, out, outOffset, n); });
    }
    ssize_t PRead(int fd, void* buffer, std::size_t count, off_t offset) const override
    {
        return Moved(Call::PRead, count, [&](std::size_t n) { return SystemCalls::PRead(fd, buffer, n, offset); });
    }
    ssize_t PWrite(int fd, const void* buffer, std::size_t count, off_t offset) const override
    {
        return Moved(Call::PWrite, count, [&](std::size_t n) { return SystemCalls::PWrite(fd, buffer, n, offset); });
    }
    int FStat(int fd, struct stat* info) const override
    {
        return Hit(Call::FStat) ? Refuse() : SystemCalls::FStat(fd, info);
    }
    int FDataSync(int fd) const override { return Hit(Call::FDataSync) ? Refuse() : SystemCalls::FDataSync(fd); }
    int FSync(int fd) const override { return Hit(Call::FSync) ? Refuse() : SystemCalls::FSync(fd); }
    int Close(int fd) const override
    {
        // Only files count: the splice route closes its pipe too, before the file is named.
        struct stat info {};
        const bool pipe = ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
        // A failed close still releases the descriptor, as on Linux.
        const int result = SystemCalls::Close(fd);
        return !pipe && Hit(Call::Close) ? Refuse() : result;
    }

private:
    bool Hit(Call call) const { return ++m_counts[static_cast<std::size_t>(call)] == m_at && call == m_call; }
    int Refuse() const
    {
        errno = m_number;
        return -1;
    }
    template <typename Real>
    ssize_t Moved(Call call, std::size_t length, Real real) const
    {
        if (!Hit(call)) return real(length);
        switch (m_fault) {
        case Fault::Fail: return Refuse();
        case Fault::Interrupt: errno = EINTR; return -1;
        case Fault::Short: return real(std::max<std::size_t>(length / 3, 1));
        case Fault::Lie: {
            const ssize_t n = real(length - 1);
            return n < 0 ? n : n + 1;
        }
        }
        return -1;
    }

    Call m_call;
    int m_at;
    Fault m_fault;
    int m_number;
    mutable std::array<int, static_cast<std::size_t>(Call::kCount)> m_counts{};
};

// The routes: splice for a track that starts off a page boundary, copy_file_range for one on
// it, our buffer when the kernel's copy is off.
struct Route {
    const char* name;
    std::int64_t start;
    bool kernelCopy;
};
constexpr Route kSplice{"splice", 1234, true};
constexpr Route kRange{"copy_file_range", 8192, true};
constexpr Route kBuffer{"read/write", 1234, false};

struct FaultCase {
    const char* name;
    Route route;
    Call call;
    int at;
    Fault fault;
    int number;  // errno for Fail
    CopyError expected;
    int expectedNumber;
};

// Enough for several steps of every route: a step is at most 1 MiB here.
constexpr std::int64_t kCount = (3 << 20) + 777;

CopyResult CopyWith(const FaultyCalls& calls, const Route& route, const std::string& album, const std::string& target,
                    bool unnamed, bool sync)
{
    CopyOptions options;
    options.kernelCopy = route.kernelCopy;
    options.unnamedTemp = unnamed;
    options.sync = sync;
    options.calls = &calls;
    options.progressStep = 1 << 20;
    options.progress = [](std::int64_t) {};
    return CopyFileRange(target, route.start, kCount, album, options);
}

TEST(copy_faults, every_route_survives_or_reports_a_failing_short_or_interrupted_call)
{
    const FaultCase cases[] = {
        // A target that refuses pipe writes, at once or after some bytes arrived: the next
        // route resumes from the byte the target really has.
        {"splice out refused first", kSplice, Call::SpliceOut, 1, Fault::Fail, EINVAL, CopyError::None, 0},
        {"splice out refused later", kSplice, Call::SpliceOut, 3, Fault::Fail, EINVAL, CopyError::None, 0},
        {"splice in refused later", kSplice, Call::SpliceIn, 2, Fault::Fail, EINVAL, CopyError::None, 0},
        {"splice in short", kSplice, Call::SpliceIn, 2, Fault::Short, 0, CopyError::None, 0},
        {"splice out short", kSplice, Call::SpliceOut, 2, Fault::Short, 0, CopyError::None, 0},
        {"splice in interrupted", kSplice, Call::SpliceIn, 1, Fault::Interrupt, 0, CopyError::None, 0},
        {"splice out interrupted", kSplice, Call::SpliceOut, 2, Fault::Interrupt, 0, CopyError::None, 0},
        {"splice out disk full", kSplice, Call::SpliceOut, 2, Fault::Fail, ENOSPC, CopyError::WriteFailed, ENOSPC},
        {"splice in read error", kSplice, Call::SpliceIn, 2, Fault::Fail, EIO, CopyError::ReadFailed, EIO},
        {"range across file systems later", kRange, Call::CopyRange, 2, Fault::Fail, EXDEV, CopyError::None, 0},
        {"range unsupported first", kRange, Call::CopyRange, 1, Fault::Fail, EOPNOTSUPP, CopyError::None, 0},
        {"range short", kRange, Call::CopyRange, 1, Fault::Short, 0, CopyError::None, 0},
        {"range interrupted", kRange, Call::CopyRange, 2, Fault::Interrupt, 0, CopyError::None, 0},
        {"range disk full", kRange, Call::CopyRange, 2, Fault::Fail, ENOSPC, CopyError::WriteFailed, ENOSPC},
        {"read short", kBuffer, Call::PRead, 2, Fault::Short, 0, CopyError::None, 0},
        {"read interrupted", kBuffer, Call::PRead, 1, Fault::Interrupt, 0, CopyError::None, 0},
        {"read error", kBuffer, Call::PRead, 3, Fault::Fail, EIO, CopyError::ReadFailed, EIO},
        {"write short", kBuffer, Call::PWrite, 2, Fault::Short, 0, CopyError::None, 0},
        {"write interrupted", kBuffer, Call::PWrite, 1, Fault::Interrupt, 0, CopyError::None, 0},
        {"write disk full", kBuffer, Call::PWrite, 3, Fault::Fail, ENOSPC, CopyError::WriteFailed, ENOSPC},
        // A route that says it moved a byte more than it did: the length check before the name
        // catches it.
        {"last write loses a byte", kBuffer, Call::PWrite, 4, Fault::Lie, 0, CopyError::WriteFailed, 0},
        {"flush fails", kBuffer, Call::FDataSync, 1, Fault::Fail, EIO, CopyError::WriteFailed, EIO},
        {"folder flush fails", kRange, Call::FSync, 1, Fault::Fail, EIO, CopyError::WriteFailed, EIO},
        {"length unknown", kRange, Call::FStat, 1, Fault::Fail, EIO, CopyError::WriteFailed, EIO},
    };
    TempDir source;
    const std::string album = PatternBytes(kCount + 9000, 11);
    WriteFile(source / "album.vyr", album);
    for (const bool unnamed : {true, false}) {
        for (const FaultCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (unnamed ? ", unnamed temporary" : ", named temporary"));
            TempDir target;
            const FaultyCalls calls(c.call, c.at, c.fault, c.number);
            const CopyResult result = CopyWith(calls, c.route, source / "album.vyr", target / "t.mp3", unnamed, true);
            EXPECT_EQ(result.error, c.expected) << result.reason;
            EXPECT_EQ(result.errorNumber, c.expectedNumber);
            // The fault really struck: the route under test ran that far.
            EXPECT_GE(calls.Count(c.call), c.at);
            if (c.expected == CopyError::None) {
                EXPECT_TRUE(test::ReadWhole(target / "t.mp3") ==
                            album.substr(static_cast<std::size_t>(c.route.start), kCount));
                EXPECT_EQ(Entries(target.folder()), std::vector<std::string>{"t.mp3"});
            } else {
                EXPECT_TRUE(Entries(target.folder()).empty());
            }
        }
    }
}

TEST(copy_faults, a_failed_close_of_a_named_temporary_leaves_no_file)
{
    // Network file systems report a failed write-back only at close; they have no unnamed files.
    TempDir source;
    TempDir target;
    const std::string album = PatternBytes(kCount + 9000, 12);
    WriteFile(source / "album.vyr", album);
    for (const Route& route : {kSplice, kRange, kBuffer}) {
        SCOPED_TRACE(route.name);
        const FaultyCalls calls(Call::Close, 1, Fault::Fail, EIO);
        const CopyResult result = CopyWith(calls, route, source / "album.vyr", target / "t.mp3", false, false);
        EXPECT_EQ(result.error, CopyError::WriteFailed) << result.reason;
        EXPECT_EQ(result.errorNumber, EIO);
        EXPECT_TRUE(Entries(target.folder()).empty());
    }
}

TEST(copy_faults, the_bytes_are_flushed_only_when_asked)
{
    TempDir source;
    WriteFile(source / "album.vyr", PatternBytes(kCount + 9000, 13));
    for (const bool sync : {false, true}) {
        TempDir target;
        const FaultyCalls calls(Call::kCount, 0, Fault::Fail, 0);
        ASSERT_TRUE(CopyWith(calls, kRange, source / "album.vyr", target / "t.mp3", true, sync).Ok());
        EXPECT_EQ(calls.Count(Call::FDataSync), sync ? 1 : 0);
        EXPECT_EQ(calls.Count(Call::FSync), sync ? 1 : 0);
    }
}

}  // namespace
}  // namespace vyr::extract
