#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/PartKey.h"
#include "extract/mdlTrimFile.h"
#include "support/File.h"
#include "tests/AlbumBuilder.h"
#include "tests/RunCli.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

// What the clean-up of the copy's leftovers may remove: only temporaries this user's runs made,
// whose writer is gone, never a file someone else made, whatever its name.
namespace vyr::extract {
namespace {

using test::Entries;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

// A process id no system hands out (Linux stops at 2^22, Windows' are multiples of 4): the
// owner of a leftover whose writer is gone.
constexpr std::uint32_t kGone = 2'147'483'001;
const std::string kGoneText = std::to_string(kGone);

Strings Sorted(Strings names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(part_key, names_carry_a_tag_that_only_the_same_key_reads_back)
{
    TempDir state;
    const std::optional<PartKey> key = PartKey::KeptIn(state.path() / "vyr-extract");
    ASSERT_TRUE(key);
    // Kept: a second run reads the same key, and another user's folder has another.
    const std::optional<PartKey> again = PartKey::KeptIn(state.path() / "vyr-extract");
    ASSERT_TRUE(again);
    TempDir otherState;
    const std::optional<PartKey> other = PartKey::KeptIn(otherState.path());
    ASSERT_TRUE(other);

    const std::string name = key->Name(kGone, 7);
    EXPECT_TRUE(name.starts_with(".vyr-part-" + kGoneText + "-7-")) << name;
    EXPECT_EQ(name.size(), std::string(".vyr-part-" + kGoneText + "-7-").size() + 16);
    EXPECT_EQ(key->Owner(name), kGone);
    EXPECT_EQ(again->Owner(name), kGone);
    EXPECT_EQ(other->Owner(name), 0u);
    EXPECT_EQ(key->Owner(other->Name(kGone, 7)), 0u);
    EXPECT_NE(key->Name(kGone, 8).substr(name.size() - 16), name.substr(name.size() - 16));
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    for (const std::string& similar :
         {".vyr-part-" + kGoneText + "-7", name + "0", name.substr(0, name.size() - 1), "x" + name, upper,
          ".vyr-part-0" + name.substr(10), ".vyr-part-0-7-" + name.substr(name.size() - 16)})
        EXPECT_EQ(key->Owner(similar), 0u) << similar;
#ifndef _WIN32
    struct stat info {};
    ASSERT_EQ(::stat((state.path() / "vyr-extract" / "part-key").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the key is for its user only";
#endif
    EXPECT_EQ(Entries(state / "vyr-extract"), Strings{"part-key"});
}

// Files that someone else made in the target folder, each in a form the copy's names take or
// come close to. Old runs removed every regular file ".vyr-part-<pid>-<digits>" whose process
// had ended; none of these may go, at any run.
Strings MakeOthersFiles(const TempDir& folder)
{
    TempDir foreignState;
    const PartKey foreign = *PartKey::KeptIn(foreignState.path());
    Strings made = {
        ".vyr-part-" + kGoneText + "-1",  // the form without a tag
        ".vyr-part-" + kGoneText + "-27",
        ".vyr-part-" + kGoneText + "-1-0123456789abcdef",  // a tag made up
        foreign.Name(kGone, 3),  // another user's, or another machine's, run
        ".vyr-part-" + kGoneText,
        ".VYR-PART-" + kGoneText + "-4",
        "vyr-part-" + kGoneText + "-1",
        "song.mp3",
    };
    for (const std::string& name : made) WriteFile(folder / name, "someone else's " + name);
    return made;
}

TEST(leftover_parts, only_temporaries_with_this_users_tag_whose_writer_is_gone_are_removed)
{
    TempDir folder;
    Strings kept = MakeOthersFiles(folder);
    const PartKey& key = PartKey::ForUser();
#ifdef _WIN32
    const std::uint32_t self = ::GetCurrentProcessId();
#else
    const auto self = static_cast<std::uint32_t>(::getpid());
#endif
    // This run's own temporary is in flight; a folder or a link of such a name is no temporary.
    WriteFile(folder / key.Name(self, 1), "in flight");
    kept.push_back(key.Name(self, 1));
    std::filesystem::create_directory(folder / key.Name(kGone, 9));
    kept.push_back(key.Name(kGone, 9));
#ifndef _WIN32  // links there need a privilege a test cannot count on
    std::filesystem::create_symlink(folder / "song.mp3", folder / key.Name(kGone, 10));
    kept.push_back(key.Name(kGone, 10));
#endif
    const Strings leftovers = {key.Name(kGone, 1), key.Name(kGone, 27)};
    for (const std::string& name : leftovers) WriteFile(folder / name, "partial");

    support::Folder opened;
    ASSERT_TRUE(opened.Open(folder.folder()).Ok());
    EXPECT_EQ(RemoveLeftoverParts(opened), 2);
    EXPECT_EQ(Entries(folder.folder()), Sorted(kept));
    for (const std::string& name : MakeOthersFiles(folder))
        EXPECT_EQ(ReadFile(folder / name), "someone else's " + name);
}

// The files stay through whole runs of the command, and an album that names a track as the copy
// names its temporaries is refused that track.
TEST(leftover_parts, someone_elses_files_survive_every_run_of_extract)
{
    TempDir folder;
    const Strings others = MakeOthersFiles(folder);
    const std::string trackName = ".vyr-part-" + kGoneText + "-5";
    WriteFile(folder / trackName, "someone else's track");
    const std::string data(3000, 'd');
    WriteFile(folder / "Album.vyr",
              test::Album({"#EXTBYT:1000", "a.mp3", trackName, ".Vyr-Part-x.mp3", "#EXTBIN"}, data));
    const test::CliRun runs[] = {
        test::RunCli({"extract", "--json", "--tracks", "1-3", folder / "Album.vyr"}),
        test::RunCli({"extract", "--sync", folder / "Album.vyr"}),
        test::RunCli({"extract", "--tracks", "1", folder / "Album.vyr"}),
    };
    EXPECT_EQ(runs[0].status, 1) << runs[0].err;
    EXPECT_EQ(runs[1].status, 1) << runs[1].err;
    EXPECT_EQ(runs[2].status, 0) << runs[2].err;
    const auto rows = nlohmann::json::parse(runs[0].out)["rows"];
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["status"], "written");
    EXPECT_EQ(rows[1]["status"], "unsafe-name");
    EXPECT_EQ(rows[2]["status"], "unsafe-name");
    for (const std::string& name : others) EXPECT_EQ(ReadFile(folder / name), "someone else's " + name);
    EXPECT_EQ(ReadFile(folder / trackName), "someone else's track");
    EXPECT_EQ(ReadFile(folder / "a.mp3"), data.substr(0, 1000));
    Strings expected = others;
    expected.insert(expected.end(), {trackName, "Album.vyr", "a.mp3"});
    EXPECT_EQ(Entries(folder.folder()), Sorted(expected));
}

#ifndef _WIN32
// A copy killed half way, on a file system without unnamed files, leaves its temporary: the
// next clean-up removes it, unless a writer still holds it.
TEST(leftover_parts, a_killed_copys_temporary_goes_and_a_held_one_stays)
{
    TempDir source;
    WriteFile(source / "album.vyr", std::string(3 << 20, 'a'));
    TempDir folder;
    const pid_t child = ::fork();
    if (child == 0) {
        CopyOptions options;
        options.unnamedTemp = false;
        options.progressStep = 1 << 20;
        options.progress = [](std::int64_t) { ::_exit(0); };  // as if killed
        CopyFileRange(folder / "t.mp3", 0, 3 << 20, source / "album.vyr", options);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the copy ended before it could be killed";
    const Strings left = Entries(folder.folder());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(PartKey::ForUser().Owner(left[0]), static_cast<std::uint32_t>(child));

    support::Folder opened;
    ASSERT_TRUE(opened.Open(folder.folder()).Ok());
    // Another writer holds it, as one on another machine whose process id means nothing here.
    const int held = ::open((folder / left[0]).c_str(), O_WRONLY);
    ASSERT_GE(held, 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);
    EXPECT_EQ(RemoveLeftoverParts(opened), 0);
    ::close(held);
    EXPECT_EQ(RemoveLeftoverParts(opened), 1);
    EXPECT_TRUE(Entries(folder.folder()).empty());
}

TEST(leftover_parts, another_users_file_of_such_a_name_stays)
{
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    TempDir folder;
    const std::string name = PartKey::ForUser().Name(kGone, 2);
    WriteFile(folder / name, "theirs");
    ASSERT_EQ(::chown((folder / name).c_str(), 65534, 65534), 0);
    support::Folder opened;
    ASSERT_TRUE(opened.Open(folder.folder()).Ok());
    EXPECT_EQ(RemoveLeftoverParts(opened), 0);
    EXPECT_EQ(ReadFile(folder / name), "theirs");
}
#endif

}  // namespace
}  // namespace vyr::extract
