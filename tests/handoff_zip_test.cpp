#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "album/HandOffZip.h"
#include "support/PathHelpers.h"
#include "tests/RecordingWindow.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

namespace vyr::album {
namespace {

using test::Entries;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

TEST(zip_name_for, cuts_only_the_file_name_at_its_first_dot)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    // "|" stands for the platform's separator.
    const Case cases[] = {
        {"|music|Live.vyr", "|music|Live.zip"},
        {"|music|Live.tar.gz", "|music|Live.zip"},
        {"|My.Albums|Live.vyr", "|My.Albums|Live.zip"},
        {"|music|Live", "|music|Live.zip"},
        {"|music|.hidden", "|music|.zip"},
        {"|music|Live.", "|music|Live.zip"},
        {"|music|Live.zip", "|music|Live.zip"},
        {"Live.vyr", "Live.zip"},
    };
    const auto native = [](std::string path) {
        std::replace(path.begin(), path.end(), '|', support::kNativeSeparator);
        return path;
    };
    for (const Case& c : cases) EXPECT_EQ(ZipNameFor(native(c.path)), native(c.expected)) << c.path;
}

TEST(hand_off_zip, renames_within_the_folder_and_opens_the_new_name)
{
    const TempDir dir;
    const std::string albums = dir / "My.Albums";
    const std::string zip = (dir.path() / "My.Albums" / "Live.zip").string();
    std::filesystem::create_directory(albums);
    WriteFile((dir.path() / "My.Albums" / "Live.tar.gz").string(), "PK\x03\x04");
    test::RecordingWindow window;
    const HandOffResult result = HandOffZip(window, (dir.path() / "My.Albums" / "Live.tar.gz").string());
    EXPECT_EQ(result.outcome, HandOffOutcome::Renamed);
    EXPECT_EQ(result.newPath, zip);
    EXPECT_EQ(Entries(albums), Strings{"Live.zip"});
    EXPECT_EQ(ReadFile(zip), "PK\x03\x04");
    EXPECT_EQ(window.documentsOpened, Strings{zip});
    EXPECT_TRUE(result.shellOpened);
    EXPECT_TRUE(window.messages.empty());
}

TEST(hand_off_zip, a_file_with_the_zip_name_already_is_opened_as_it_is)
{
    const TempDir dir;
    WriteFile(dir / "Live.zip", "PK");
    test::RecordingWindow window;
    window.openDocumentSucceeds = false;
    const HandOffResult result = HandOffZip(window, dir / "Live.zip");
    EXPECT_EQ(result.outcome, HandOffOutcome::AlreadyZipName);
    EXPECT_FALSE(result.shellOpened);
    EXPECT_EQ(window.documentsOpened, Strings{dir / "Live.zip"});
    EXPECT_TRUE(window.messages.empty()) << "the shell's answer is not shown";
}

TEST(hand_off_zip, never_replaces_a_file_and_shows_why_the_rename_failed)
{
    struct Case {
        const char* name;
        const char* existing;  // what already holds the zip name, or nullptr
        bool removeSource;
    };
    const Case cases[] = {
        {"zip name taken", "someone's archive", false},
        {"source gone", nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        if (!c.removeSource) WriteFile(dir / "Live.vyr", "PK");
        if (c.existing != nullptr) WriteFile(dir / "Live.zip", c.existing);
        test::RecordingWindow window;
        const HandOffResult result = HandOffZip(window, dir / "Live.vyr");
        EXPECT_EQ(result.outcome, HandOffOutcome::RenameFailed);
        EXPECT_TRUE(window.documentsOpened.empty());
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, "Cannot rename the file\r\n" + dir / "Live.vyr" + "\r\nto\r\n" +
                                               dir / "Live.zip" + "\r\n" + result.reason);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(window.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(window.messages[0].title, "vyr Extract");
        if (c.existing != nullptr) {
            EXPECT_EQ(ReadFile(dir / "Live.zip"), c.existing);
            EXPECT_EQ(ReadFile(dir / "Live.vyr"), "PK");
        }
    }
}

}  // namespace
}  // namespace vyr::album
