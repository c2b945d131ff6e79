#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "extract/PartKey.h"
#include "extract/mdlTrimFile.h"
#include "support/File.h"
#include "support/Win32.h"

// What only the Windows route of the copy does: the hidden temporary, UTF-16 names at the
// calls, the folder held by its full path, and the clean-up of leftovers by process id.
namespace vyr::extract {
namespace {

using test::PatternBytes;
using test::TempDir;
using test::WriteFile;

struct Entry {
    std::string name;
    DWORD attributes = 0;
};

// Every entry of a folder through the wide-character API, hidden ones included.
std::vector<Entry> Listing(const std::string& folder)
{
    std::vector<Entry> entries;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(support::WidePath(folder + "*").value().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::string name = support::Utf8FromWide(found.cFileName);
        if (name != "." && name != "..") entries.push_back(Entry{name, found.dwFileAttributes});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

// The whole file through support::File, which takes UTF-8 names as the copy does.
std::string Contents(const std::string& path)
{
    support::File file;
    if (!file.Open(path).Ok()) return "(cannot open)";
    std::string bytes(static_cast<std::size_t>(file.Length()), '\0');
    const auto read = file.ReadAt(0, {reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()});
    bytes.resize(read.count);
    return bytes;
}

class CopyWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        album = PatternBytes(3 << 20, 11);
        WriteFile(source / "album.vyr", album);
        ASSERT_TRUE(albumFile.Open(source / "album.vyr").Ok());
        ASSERT_TRUE(folder.Open(target.folder()).Ok());
    }

    TempDir source;
    TempDir target;
    std::string album;
    support::File albumFile;
    support::Folder folder;
};

TEST_F(CopyWin32Test, the_bytes_in_flight_are_hidden_and_the_track_is_not)
{
    std::vector<Entry> inFlight;
    CopyOptions options;
    options.progressStep = 1;
    options.progress = [&](std::int64_t) {
        if (inFlight.empty()) inFlight = Listing(target.folder());
    };
    ASSERT_TRUE(CopyFileRange(folder, "t.mp3", 1001, 2 << 20, albumFile, options).Ok());

    ASSERT_EQ(inFlight.size(), 1u);
    EXPECT_EQ(PartKey::ForUser().Owner(inFlight[0].name), ::GetCurrentProcessId()) << inFlight[0].name;
    EXPECT_NE(inFlight[0].attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    const std::vector<Entry> after = Listing(target.folder());
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].name, "t.mp3");
    EXPECT_EQ(after[0].attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_TRUE(Contents(target / "t.mp3") == album.substr(1001, 2 << 20));
}

TEST_F(CopyWin32Test, names_reach_the_file_system_as_utf16)
{
    const std::string names[] = {"Caf\xC3\xA9 \xE2\x80\x93 \xE6\x9D\xB1\xE4\xBA\xAC.mp3", "\xF0\x9F\x8E\xB5.mp3"};
    for (const std::string& name : names) ASSERT_TRUE(CopyFileRange(folder, name, 7, 500, albumFile).Ok()) << name;
    const std::vector<Entry> after = Listing(target.folder());
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].name, names[0]);
    EXPECT_EQ(after[1].name, names[1]);
    EXPECT_EQ(Contents(target.folder() + names[1]), album.substr(7, 500));
    // A second copy under the same name finds the first through the same conversion.
    EXPECT_EQ(CopyFileRange(folder, names[0], 0, 10, albumFile).error, CopyError::TargetExists);
}

TEST_F(CopyWin32Test, names_windows_reads_as_something_else_are_refused_before_anything_is_made)
{
    for (const char* name : {"con", "CON.mp3", "nul.txt", "com1", "lpt9.mp3", "aux ", "a:b.mp3", "C:x.mp3", "x.mp3:s",
                             "a/b.mp3", "..\\x.mp3", "x.mp3.", "what?.mp3", "a*.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CopyFileRange(folder, name, 0, 100, albumFile).error, CopyError::BadName);
    }
    EXPECT_TRUE(Listing(target.folder()).empty());
    EXPECT_FALSE(std::filesystem::exists(target.path().parent_path() / "x.mp3"));
}

TEST_F(CopyWin32Test, a_folder_opened_by_a_relative_path_stays_the_folder_it_was)
{
    wchar_t before[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, before), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(support::WidePath(target.folder())->c_str()));
    support::Folder here;
    const bool opened = here.Open(".").Ok();
    ::SetCurrentDirectoryW(support::WidePath(source.folder())->c_str());
    const CopyResult copied = CopyFileRange(here, "t.mp3", 0, 100, albumFile);
    ::SetCurrentDirectoryW(before);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(copied.Ok()) << copied.reason;
    EXPECT_EQ(Contents(target / "t.mp3"), album.substr(0, 100));
    EXPECT_EQ(Listing(source.folder()).size(), 1u);
}

// A process started from cmd.exe: one that ends at once, or one that waits on its input.
class Child {
public:
    explicit Child(bool waits)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE read = nullptr;
        if (!::CreatePipe(&read, &m_input, &inherit, 0)) return;
        ::SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = read;
        std::wstring command = waits ? L"cmd.exe /q /k" : L"cmd.exe /c exit 0";
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &process)) {
            ::CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_pid = process.dwProcessId;
            if (!waits) ::WaitForSingleObject(m_process, 30'000);
        }
        ::CloseHandle(read);
    }
    // The handle is held to the end, so the id names no other process meanwhile.
    ~Child()
    {
        if (m_process != nullptr) {
            ::TerminateProcess(m_process, 0);
            ::CloseHandle(m_process);
        }
        ::CloseHandle(m_input);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    std::string Pid() const { return std::to_string(m_pid); }
    bool Runs() const { return m_process != nullptr && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

private:
    HANDLE m_input = nullptr;
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// The temporaries with this user's tag: those of a process that still runs, and one a writer holds
// open, stay; those of an ended process go. Files of other names are the clean-up's test's
// (leftover_parts_test).
TEST(copy_win32_leftovers, only_the_temporaries_of_ended_processes_are_removed)
{
    const Child ended(false);
    const Child running(true);
    ASSERT_FALSE(ended.Runs());
    ASSERT_TRUE(running.Runs());
    const PartKey& key = PartKey::ForUser();
    const auto dead = static_cast<std::uint32_t>(std::stoul(ended.Pid()));
    TempDir folder;
    std::vector<std::string> kept = {
        key.Name(::GetCurrentProcessId(), 1),  // this run's own
        key.Name(static_cast<std::uint32_t>(std::stoul(running.Pid())), 1),
        key.Name(dead, 3),  // held open by its writer, as a copy holds it
        "song.mp3",
    };
    for (const std::string& name : kept) WriteFile(folder / name, "x");
    const std::string aFolder = key.Name(dead, 4);
    ASSERT_TRUE(::CreateDirectoryW(support::WidePath(folder / aFolder)->c_str(), nullptr));
    kept.push_back(aFolder);
    WriteFile(folder / key.Name(dead, 1), "partial");
    WriteFile(folder / key.Name(dead, 27), "partial");
    HANDLE writer = ::CreateFileW(support::WidePath(folder / key.Name(dead, 3))->c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    support::Folder opened;
    ASSERT_TRUE(opened.Open(folder.folder()).Ok());
    EXPECT_EQ(RemoveLeftoverParts(opened), 2);
    ::CloseHandle(writer);
    std::vector<std::string> left;
    for (const Entry& entry : Listing(folder.folder())) left.push_back(entry.name);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
}

}  // namespace
}  // namespace vyr::extract
