#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pellavin::runtime {

// A random-access file of fixed records, of which the programs only ever
// move the first. Every transfer opens, moves the bytes and closes, so no
// file stays open between events. Failures raise RuntimeError naming the
// path and the operating system's reason.
class RecordFile {
public:
    enum class Access { ReadWrite, ReadOnly };

    // Opens the file for reading and writing, creating it empty when it is
    // missing. When that is refused but the file exists and can be read (a
    // read-only file, or one in a directory the user may not write), it is
    // opened read-only instead. Anything but a regular file is refused, so a
    // directory or a pipe in the file's place can neither fail obscurely nor
    // hang the program, and a link is never followed.
    static RecordFile open_for_read(const std::string& path);

    // Opens the file for writing, creating it empty when missing.
    static RecordFile open_for_write(const std::string& path);

    // Opens the file for reading only, for a reader that must leave the
    // directory as it found it: a missing file is an error, never created.
    static RecordFile open_existing(const std::string& path);

    RecordFile(RecordFile&& other) noexcept;
    RecordFile& operator=(RecordFile&&) = delete;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    ~RecordFile();

    Access access() const { return access_; }

    // Fills `bytes` from the start of the file; bytes the file lacks read as zero.
    void read_first(std::span<std::byte> bytes);

    // Writes `bytes` at the start of the file, in place, in one write: the
    // rest of a longer file stays as it was and the file is never shortened.
    void write_first(std::span<const std::byte> bytes);

    void close();

private:
    RecordFile(std::string path, int fd, Access access);

    std::string path_;
    int fd_;
    Access access_;
};

// Open, read the first bytes, close: the Load of a record.
void read_record(const std::string& path, std::span<std::byte> bytes);

// The Load of a record that creates nothing: open_existing, read, close.
void read_existing_record(const std::string& path, std::span<std::byte> bytes);

// Open, write the first bytes, close: the Store of a record.
void write_record(const std::string& path, std::span<const std::byte> bytes);

}  // namespace pellavin::runtime
