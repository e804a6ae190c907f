#include "runtime/core/record_file.h"

#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin::runtime {
namespace {

// Never through a link: whoever may make one must not choose the file a
// store writes over.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the user's umask

bool refused_for_writing(int err) { return err == EACCES || err == EPERM || err == EROFS; }

RuntimeError not_a_file(const std::string& path, mode_t mode)
{
    const char* what = S_ISDIR(mode) ? ": Is a directory" : S_ISLNK(mode) ? ": a link" : ": not a regular file";
    return RuntimeError(error_number::kPathFileAccess, path + what);
}

// Only a regular file can hold a record: a pipe would block the program or
// fail with an obscure reason, a directory cannot be written.
void refuse_other_kinds(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) throw not_a_file(path, info.st_mode);
}

// The same check on what was opened, in case the path changed meanwhile.
int keep_regular_file(int fd, const std::string& path)
{
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int err = errno;
        ::close(fd);
        throw os_error(path, err);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw not_a_file(path, info.st_mode);
    }
    // Regular files never block; clear the flag so that writes are plain.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

RecordFile RecordFile::open_for_read(const std::string& path)
{
    refuse_other_kinds(path);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kOpenFlags, kNewFileMode);
    if (fd >= 0) return RecordFile(path, keep_regular_file(fd, path), Access::ReadWrite);

    const int write_error = errno;
    if (refused_for_writing(write_error)) {
        fd = ::open(path.c_str(), O_RDONLY | kOpenFlags);
        if (fd >= 0) return RecordFile(path, keep_regular_file(fd, path), Access::ReadOnly);
        // A missing file explains less than the refusal to create it.
        if (errno != ENOENT) throw os_error(path, errno);
    }
    throw os_error(path, write_error);
}

RecordFile RecordFile::open_for_write(const std::string& path)
{
    refuse_other_kinds(path);
    // A store never reads, so a file the user may write but not read takes it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | kOpenFlags, kNewFileMode);
    if (fd < 0) throw os_error(path, errno);
    return RecordFile(path, keep_regular_file(fd, path), Access::ReadWrite);
}

RecordFile RecordFile::open_existing(const std::string& path)
{
    refuse_other_kinds(path);
    const int fd = ::open(path.c_str(), O_RDONLY | kOpenFlags);
    if (fd < 0) throw os_error(path, errno);
    return RecordFile(path, keep_regular_file(fd, path), Access::ReadOnly);
}

RecordFile::RecordFile(std::string path, int fd, Access access)
    : path_(std::move(path))
    , fd_(fd)
    , access_(access)
{
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(std::move(other.path_))
    , fd_(other.fd_)
    , access_(other.access_)
{
    other.fd_ = -1;
}

RecordFile::~RecordFile()
{
    if (fd_ >= 0) ::close(fd_);
}

void RecordFile::read_first(std::span<std::byte> bytes)
{
    std::memset(bytes.data(), 0, bytes.size());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw os_error(path_, errno);
        }
        if (got == 0) break;  // end of file: the rest stays zero
        done += static_cast<size_t>(got);
    }
}

void RecordFile::write_first(std::span<const std::byte> bytes)
{
    if (access_ == Access::ReadOnly) throw os_error(path_, EACCES);
    // One write of a few bytes at offset 0: a reader, or a kill at any
    // moment, sees the old record or the new one, never a mix.
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw os_error(path_, errno);
        }
        done += static_cast<size_t>(put);
    }
    // The settings must survive a crash of the machine right after a save.
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) throw os_error(path_, errno);
}

void RecordFile::close()
{
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw os_error(path_, errno);
}

void read_record(const std::string& path, std::span<std::byte> bytes)
{
    RecordFile file = RecordFile::open_for_read(path);
    file.read_first(bytes);
    file.close();
}

void read_existing_record(const std::string& path, std::span<std::byte> bytes)
{
    RecordFile file = RecordFile::open_existing(path);
    file.read_first(bytes);
    file.close();
}

void write_record(const std::string& path, std::span<const std::byte> bytes)
{
    RecordFile file = RecordFile::open_for_write(path);
    file.write_first(bytes);
    file.close();
}

}  // namespace pellavin::runtime
