#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/PartKey.h"
#include "extract/mdlTrimFile.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

namespace vyr::extract {
namespace {

using test::Entries;
using test::PatternBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

// The ways a copy can run: the kernel moves the bytes or our buffer does, and the bytes in flight
// have no name or, where the file system cannot make unnamed files, a hidden one.
struct Way {
    const char* name;
    bool kernelCopy;
    bool unnamedTemp;
};
#ifdef _WIN32
// Windows has one way: our buffer, and a hidden temporary, as it has no unnamed files.
constexpr Way kWays[] = {{"buffer", false, false}, {"buffer", false, false}, {"named temporary", false, false}};
#else
constexpr Way kWays[] = {{"kernel", true, true}, {"buffer", false, true}, {"named temporary", true, false}};
#endif

CopyOptions OptionsFor(const Way& way)
{
    CopyOptions options;
    options.kernelCopy = way.kernelCopy;
    options.unnamedTemp = way.unnamedTemp;
    return options;
}

class CopyFileRangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        album = PatternBytes(6300);
        WriteFile(source / "album.vyr", album);
    }
    std::string Source() const { return source / "album.vyr"; }

    TempDir source;
    TempDir target;
    std::string album;
};

// Suites are named after the unit they test.
using copy_range = CopyFileRangeTest;

struct RangeCase {
    const char* name;
    std::int64_t start;
    std::int64_t count;
    const Way& way;
    CopyError expected;
};

TEST_F(copy_range, copies_exactly_the_range_or_refuses_it_before_creating_anything)
{
    const RangeCase cases[] = {
        {"middle", 300, 1000, kWays[0], CopyError::None},
        {"to_the_end", 3300, 3000, kWays[0], CopyError::None},
        {"whole_file", 0, 6300, kWays[0], CopyError::None},
        {"fallback_to_the_end", 3300, 3000, kWays[1], CopyError::None},
        {"named_temporary_middle", 300, 1000, kWays[2], CopyError::None},
        {"one_byte_past", 3301, 3000, kWays[0], CopyError::BadRange},
        {"start_at_end", 6300, 1, kWays[0], CopyError::BadRange},
        {"start_far_past", 1LL << 40, 1, kWays[0], CopyError::BadRange},
        {"negative_start", -1, 10, kWays[0], CopyError::BadRange},
        {"count_overflows", 1, INT64_MAX, kWays[0], CopyError::BadRange},
        {"zero_count", 0, 0, kWays[0], CopyError::BadRange},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = target / c.name;
        const CopyResult result = CopyFileRange(path, c.start, c.count, Source(), OptionsFor(c.way));
        EXPECT_EQ(result.error, c.expected) << result.reason;
        if (c.expected == CopyError::None) {
            EXPECT_EQ(ReadFile(path),
                      album.substr(static_cast<std::size_t>(c.start), static_cast<std::size_t>(c.count)));
        } else {
            EXPECT_FALSE(std::filesystem::exists(path));
            EXPECT_FALSE(result.reason.empty());
        }
    }
    EXPECT_EQ(Entries(target.folder()),
              (Strings{"fallback_to_the_end", "middle", "named_temporary_middle", "to_the_end", "whole_file"}));
}

TEST_F(copy_range, streams_a_large_range_in_pieces_and_reports_progress)
{
    const std::string big = PatternBytes(13 << 20, 7);
    WriteFile(source / "big.vyr", big);
    for (const bool kernel : {true, false}) {
        SCOPED_TRACE(kernel ? "kernel" : "buffer");
        std::vector<std::int64_t> seen;
        CopyOptions options;
        options.kernelCopy = kernel;
        options.progressStep = 4 << 20;
        options.progress = [&](std::int64_t done) { seen.push_back(done); };
        const std::string path = target / (kernel ? "kernel" : "buffer");
        const std::int64_t start = 12345;
        const std::int64_t count = big.size() - start - 1;
        ASSERT_TRUE(CopyFileRange(path, start, count, source / "big.vyr", options).Ok());
        EXPECT_TRUE(test::ReadWhole(path) == big.substr(start, count));
        EXPECT_GE(seen.size(), 3u) << ::testing::PrintToString(seen);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
}

TEST_F(copy_range, failures_leave_no_file_and_change_no_existing_one)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, not made under wine here";
#endif
    WriteFile(target / "present.mp3", "keep me");
    WriteFile(target / "empty.mp3", "");
    std::filesystem::create_symlink(source / "victim", target / "link.mp3");
    std::filesystem::create_symlink(source / "album.vyr", target / "link-to-file.mp3");
    std::filesystem::create_directory(target / "real");
    std::filesystem::create_directory_symlink(target / "real", target / "linked");

    struct Case {
        const char* name;
        std::string targetPath;
        std::string sourcePath;
        CopyError expected;
        std::string_view reason;
    };
    const Case cases[] = {
        {"missing source", target / "a.mp3", source / "missing.vyr", CopyError::SourceUnreadable,
         "cannot open the album"},
        {"source is a folder", target / "b.mp3", source.path().string(), CopyError::SourceUnreadable,
         "the album is not a regular file"},
        {"missing folder", target / "nowhere/c.mp3", Source(), CopyError::TargetFolderUnusable,
         "cannot open the target folder"},
        {"existing target", target / "present.mp3", Source(), CopyError::TargetExists, "a file of that name exists"},
        {"empty existing target", target / "empty.mp3", Source(), CopyError::TargetExists,
         "a file of that name exists"},
        {"dangling link at name", target / "link.mp3", Source(), CopyError::TargetExists, "a file of that name exists"},
        {"link to a file at name", target / "link-to-file.mp3", Source(), CopyError::TargetExists,
         "a file of that name exists"},
        {"name with a separator at the end", target.folder(), Source(), CopyError::BadName,
         "the name is not a plain file name"},
        {"dot dot", target / "..", Source(), CopyError::BadName, "the name is not a plain file name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CopyResult result = CopyFileRange(c.targetPath, 0, 100, c.sourcePath);
        EXPECT_EQ(result.error, c.expected);
        EXPECT_EQ(result.reason.substr(0, c.reason.size()), c.reason);
    }
    EXPECT_EQ(ReadFile(target / "present.mp3"), "keep me");
    EXPECT_EQ(ReadFile(target / "empty.mp3"), "");
    EXPECT_FALSE(std::filesystem::exists(source / "victim"));
    EXPECT_EQ(ReadFile(Source()), album);
    EXPECT_EQ(Entries(target.folder()),
              (Strings{"empty.mp3", "link-to-file.mp3", "link.mp3", "linked", "present.mp3", "real"}));
    EXPECT_TRUE(Entries(target / "real").empty());
}

TEST_F(copy_range, a_folder_named_through_a_link_is_the_folder_it_leads_to)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, not made under wine here";
#endif
    // The user's own choice, as for "-o link" and "-o link/.": both write into the real folder.
    std::filesystem::create_directory(target / "real");
    std::filesystem::create_directory_symlink(target / "real", target / "linked");
    ASSERT_TRUE(CopyFileRange(target / "linked/a.mp3", 10, 100, Source()).Ok());
    ASSERT_TRUE(CopyFileRange(target / "linked/./b.mp3", 20, 100, Source()).Ok());
    EXPECT_EQ(Entries(target / "real"), (Strings{"a.mp3", "b.mp3"}));
    EXPECT_EQ(ReadFile(target / "real/b.mp3"), album.substr(20, 100));
}

TEST_F(copy_range, a_source_that_shrinks_during_the_copy_leaves_nothing)
{
    // The first progress call truncates the album under the copy.
    const std::string big = PatternBytes(12 << 20, 3);
    WriteFile(source / "big.vyr", big);
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.name);
        WriteFile(source / "big.vyr", big);
        CopyOptions options = OptionsFor(way);
        options.progressStep = 1;
        options.progress = [&](std::int64_t) { std::filesystem::resize_file(source / "big.vyr", 1 << 20); };
        const CopyResult result = CopyFileRange(target / "t.mp3", 0, big.size(), source / "big.vyr", options);
        EXPECT_EQ(result.error, CopyError::ReadFailed);
        EXPECT_EQ(result.reason, "the album ended before the track did");
        EXPECT_TRUE(Entries(target.folder()).empty());
    }
}

TEST_F(copy_range, a_name_taken_during_the_copy_is_not_replaced)
{
    const std::string big = PatternBytes(12 << 20, 5);
    WriteFile(source / "big.vyr", big);
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.name);
        std::filesystem::remove(target / "t.mp3");
        CopyOptions options = OptionsFor(way);
        options.progressStep = 1;
        Strings inFlight;
        bool once = false;
        options.progress = [&](std::int64_t) {
            if (!once) {
                inFlight = Entries(target.folder());
                WriteFile(target / "t.mp3", "someone else's");
            }
            once = true;
        };
        const CopyResult result = CopyFileRange(target / "t.mp3", 0, big.size(), source / "big.vyr", options);
        EXPECT_EQ(result.error, CopyError::TargetExists);
        EXPECT_EQ(result.reason, "a file of that name appeared during the copy");
        // The way under test really ran: an unnamed file shows in no listing, a hidden one does.
        ASSERT_EQ(inFlight.size(), way.unnamedTemp ? 0u : 1u);
        if (!way.unnamedTemp) {
#ifdef _WIN32
            EXPECT_EQ(PartKey::ForUser().Owner(inFlight[0]), ::GetCurrentProcessId()) << inFlight[0];
#else
            EXPECT_EQ(PartKey::ForUser().Owner(inFlight[0]), static_cast<std::uint32_t>(::getpid())) << inFlight[0];
#endif
        }
        EXPECT_EQ(ReadFile(target / "t.mp3"), "someone else's");
        EXPECT_EQ(Entries(target.folder()), Strings{"t.mp3"});
    }
}

#ifndef _WIN32
TEST_F(copy_range, a_folder_without_write_permission_is_refused)
{
    std::filesystem::create_directory(target / "locked");
    ::chmod((target / "locked").c_str(), 0555);
    if (::access((target / "locked").c_str(), W_OK) == 0) GTEST_SKIP() << "this user writes anyway (root)";
    const CopyResult result = CopyFileRange(target / "locked/t.mp3", 0, 100, Source());
    EXPECT_EQ(result.error, CopyError::CreateFailed);
    EXPECT_EQ(result.errorNumber, EACCES);
    EXPECT_TRUE(Entries(target / "locked").empty());
}

TEST_F(copy_range, a_read_only_medium_is_refused)
{
    test::SmallTmpfs medium("size=1m");
    if (!medium.IsMounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_TRUE(medium.MakeReadOnly());
    const CopyResult result = CopyFileRange(medium / "t.mp3", 0, 100, Source());
    EXPECT_EQ(result.error, CopyError::CreateFailed);
    EXPECT_EQ(result.errorNumber, EROFS);
    EXPECT_TRUE(Entries(medium.folder()).empty());
}

TEST_F(copy_range, a_full_disk_leaves_no_partial_file)
{
    test::SmallTmpfs medium("size=1m");
    if (!medium.IsMounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string big = PatternBytes(3 << 20, 9);
    WriteFile(source / "big.vyr", big);
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.name);
        const CopyResult result = CopyFileRange(medium / "t.mp3", 0, big.size(), source / "big.vyr", OptionsFor(way));
        EXPECT_EQ(result.error, CopyError::WriteFailed);
        EXPECT_EQ(result.errorNumber, ENOSPC);
        EXPECT_TRUE(Entries(medium.folder()).empty());
    }
    // The space the failed copies took is free again: a track that fits goes through.
    ASSERT_TRUE(CopyFileRange(medium / "small.mp3", 10, 500 << 10, source / "big.vyr").Ok());
    EXPECT_TRUE(test::ReadWhole(medium / "small.mp3") == big.substr(10, 500 << 10));
}
#endif

}  // namespace
}  // namespace vyr::extract
