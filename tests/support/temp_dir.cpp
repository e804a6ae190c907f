#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace pellavin::testing {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pellavin-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Give back any permission a test took away, so that all of it goes.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool running_as_root() { return geteuid() == 0; }

}  // namespace pellavin::testing

#include <grp.h>
#include <sys/wait.h>

namespace pellavin::testing {

namespace {
constexpr uid_t kNobody = 65534;
}

void give_to_unprivileged_user(const std::string& path)
{
    if (geteuid() == 0 && chown(path.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown failed");
}

bool become_unprivileged_user()
{
    return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0);
}

int as_unprivileged_user(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!become_unprivileged_user()) _exit(255);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) throw std::runtime_error("the unprivileged child did not exit normally");
    return WEXITSTATUS(status);
}

std::string seen_as_unprivileged_user(const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    // Small texts only: the child writes all before the parent reads.
    as_unprivileged_user([&] {
        const std::string seen = body();
        return write(fds[1], seen.data(), seen.size()) == static_cast<ssize_t>(seen.size()) ? 0 : 1;
    });
    ::close(fds[1]);
    std::string seen;
    char buffer[512];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<size_t>(got));
    ::close(fds[0]);
    return seen;
}

}  // namespace pellavin::testing
