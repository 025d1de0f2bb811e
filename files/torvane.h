#pragma once
// Text blocks and the other entries of the data files, read from and written to byte streams.
//
// Every data file is a plain little-endian byte stream without header or checksum: int32 counts,
// IEEE 754 doubles and Text blocks (an int32 count of UTF-16 units, then the units). A reader finds
// an entry only by reading everything before it, so every transfer is checked at once and the
// first failure ends the whole operation with an IoError.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// The one error type of every file transfer. Its what() is the text the user sees in the standard
// error report: "Read beyond end of file" when the data ends inside an entry (also for a Text block
// that claims more units than the file holds, or a negative count), "Disk full" when the storage
// takes fewer bytes than it was given, the platform's text for a refused system call ("I/O error
// N" where the platform has none), or a description of a damaged entry.
class IoError : public std::runtime_error {
public:
    enum class Kind { EndOfFile, DiskFull, System, Damaged };

    static IoError endOfFile();
    static IoError diskFull();
    // For errno values; ENOSPC and EDQUOT are a full disk.
    static IoError system(int errorNumber);
    // For the operating system's own codes (errno on POSIX, GetLastError() on Windows, where
    // ERROR_DISK_FULL and ERROR_HANDLE_DISK_FULL are a full disk).
    static IoError native(int code);
    // An entry was read completely but holds something no field can take.
    static IoError damaged(const std::string& what);

    Kind kind() const noexcept { return kind_; }
    // The errno value or system code for Kind::System, else 0.
    int errorNumber() const noexcept { return errorNumber_; }

private:
    IoError(Kind kind, int errorNumber, const std::string& text);
    Kind kind_;
    int errorNumber_;
};

// A byte stream opened for reading. read() delivers exactly the bytes asked for or throws.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Throws IoError::endOfFile() when fewer bytes remain; then nothing is consumed that a later
    // entry could rely on (the operation is over).
    virtual void read(std::span<std::byte> into) = 0;
    // Bytes between the read position and the end of the data.
    virtual std::uint64_t remaining() const = 0;
    bool atEnd() const { return remaining() == 0; }
};

// A byte stream opened for writing. write() stores every byte or throws.
class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    virtual void write(std::span<const std::byte> bytes) = 0;
};

// Reads from bytes in memory (used by the fuzz targets and for whole-file checks).
class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::span<const std::byte> data) : data_(data) {}
    void read(std::span<std::byte> into) override;
    std::uint64_t remaining() const override { return data_.size() - pos_; }

private:
    std::span<const std::byte> data_;
    std::size_t pos_ = 0;
};

// Collects the bytes of a whole file in memory, so that a file is produced only from a complete,
// checked image.
class MemoryWriter final : public ByteWriter {
public:
    void write(std::span<const std::byte> bytes) override;
    const std::vector<std::byte>& bytes() const noexcept { return bytes_; }

private:
    std::vector<std::byte> bytes_;
};

// A regular file opened for reading only (a write-protected file opens as well). Buffered; the
// buffer never exceeds the file's size.
class FileReader final : public ByteReader {
public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader() override;

    // False when the name cannot be opened for reading: it does not exist, may not be read, is no
    // regular file (a folder, a device, a pipe) or contains a zero unit.
    [[nodiscard]] bool open(std::u16string_view name);
    void read(std::span<std::byte> into) override;
    std::uint64_t remaining() const override { return size_ - consumed_; }
    // The file's size when it was opened.
    std::uint64_t size() const noexcept { return size_; }

private:
    std::intptr_t handle_ = -1; // the platform's descriptor or handle
    std::uint64_t size_ = 0;
    std::uint64_t consumed_ = 0; // bytes handed out by read()
    std::vector<std::byte> buffer_;
    std::size_t bufferPos_ = 0;
    std::size_t bufferEnd_ = 0;
};

// Appends one Text block. A text of more than kMaxTextLength units would make a file no reader
// takes back, so it throws IoError (Kind::Damaged) before anything is written.
void blockwriteStrU(ByteWriter& out, std::u16string_view text);
// Consumes one Text block. A negative count or one that needs more bytes than remain throws
// IoError::endOfFile(), a count above kMaxTextLength IoError (Kind::Damaged); both before any
// storage for the text is reserved.
std::u16string blockreadStrU(ByteReader& in);

// Throws IoError (Kind::Damaged) when a file of `size` bytes is larger than `limit`, the most a
// sound file of its kind can hold, so that a damaged or foreign file is refused before it is read.
void refuseOversizedFile(std::uint64_t size, std::uint64_t limit);

void writeInt32(ByteWriter& out, std::int32_t value);
std::int32_t readInt32(ByteReader& in);
void writeDouble(ByteWriter& out, double value);
double readDouble(ByteReader& in);

} // namespace pyrelto
