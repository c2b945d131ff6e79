#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/RunCli.h"
#include "tests/extract_mounts.h"

namespace vyr::test {
namespace {

using Strings = std::vector<std::string>;

// A listening Unix socket at `path`, for as long as the object lives.
class UnixSocket {
public:
    explicit UnixSocket(const std::string& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    }
    ~UnixSocket() { ::close(m_fd); }
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;

private:
    int m_fd;
};

// Nothing but a regular file is read: a FIFO would otherwise block every command for ever
// waiting for a writer, and a device or socket has no album in it.
TEST(cli_input, every_command_refuses_what_is_not_a_regular_file)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.vyr").c_str(), 0644), 0);
    const UnixSocket socket(dir / "socket.vyr");
    std::filesystem::create_directory(dir / "folder.vyr");
    const struct {
        std::string path;
        std::string reason;
    } inputs[] = {
        {dir / "pipe.vyr", "it is a named pipe (FIFO), not a regular file"},
        {dir / "socket.vyr", "it is a socket, not a regular file"},
        {dir / "folder.vyr", "it is a folder, not a file"},
        {"/dev/null", "it is a device, not a regular file"},
    };
    const Strings commands[] = {{"list"}, {"list", "--scan"}, {"scan"}, {"extract"}, {"extract", "--scan"}};
    for (const auto& input : inputs) {
        for (const Strings& command : commands) {
            Strings arguments = command;
            arguments.push_back(input.path);
            SCOPED_TRACE(arguments.front() + " " + input.path);
            const CliRun run = RunCli(arguments);
            EXPECT_EQ(run.status, 2) << run.err;
            EXPECT_NE(run.err.find("Cannot read the file\n" + input.path + "\n" + input.reason + "\n"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_EQ(Entries(dir.folder()), (Strings{"folder.vyr", "pipe.vyr", "socket.vyr"}));
}

}  // namespace
}  // namespace vyr::test
