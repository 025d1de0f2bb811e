#include "torvane.h"

#include "platform_file.h"
#include "rx_spin_edit.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

namespace pyrelto {

namespace {

std::string numberedText(int code) {
    std::array<char, 16> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), code);
    return "I/O error " + std::string(digits.data(), end.ptr);
}

std::string errnoText(int errorNumber) {
    const char* text = std::strerror(errorNumber);
    // C libraries invent "Unknown error N" for codes they have no text for; ours is the classic
    // form.
    if (text == nullptr || *text == '\0' || std::strncmp(text, "Unknown error", 13) == 0) {
        return numberedText(errorNumber);
    }
    return text;
}

template <typename T> T fromLittleEndian(std::span<const std::byte, sizeof(T)> bytes) {
    using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    U u = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        u = static_cast<U>((u << 8) | static_cast<U>(bytes[i]));
    }
    return std::bit_cast<T>(u);
}

template <typename T> std::array<std::byte, sizeof(T)> toLittleEndian(T value) {
    using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    auto u = std::bit_cast<U>(value);
    std::array<std::byte, sizeof(T)> bytes{};
    for (auto& b : bytes) {
        b = static_cast<std::byte>(u & 0xFF);
        u >>= 8;
    }
    return bytes;
}

template <typename T> T readScalar(ByteReader& in) {
    std::array<std::byte, sizeof(T)> bytes{};
    in.read(bytes);
    return fromLittleEndian<T>(bytes);
}

constexpr std::size_t kReadBuffer = std::size_t{64} * 1024;

} // namespace

IoError::IoError(Kind kind, int errorNumber, const std::string& text)
    : std::runtime_error(text), kind_(kind), errorNumber_(errorNumber) {}

IoError IoError::endOfFile() {
    return IoError(Kind::EndOfFile, 0, "Read beyond end of file");
}

IoError IoError::diskFull() {
    return IoError(Kind::DiskFull, 0, "Disk full");
}

IoError IoError::system(int errorNumber) {
#ifdef EDQUOT
    if (errorNumber == EDQUOT) {
        return diskFull();
    }
#endif
    if (errorNumber == ENOSPC) {
        return diskFull();
    }
    return IoError(Kind::System, errorNumber, errnoText(errorNumber));
}

IoError IoError::native(int code) {
    if (platform::isDiskFull(code)) {
        return diskFull();
    }
    std::string text = platform::errorText(code);
    return IoError(Kind::System, code, text.empty() ? numberedText(code) : text);
}

IoError IoError::damaged(const std::string& what) {
    return IoError(Kind::Damaged, 0, what);
}

void MemoryReader::read(std::span<std::byte> into) {
    if (into.size() > remaining()) {
        pos_ = data_.size();
        throw IoError::endOfFile();
    }
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), into.size(), into.begin());
    pos_ += into.size();
}

void MemoryWriter::write(std::span<const std::byte> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

FileReader::~FileReader() {
    platform::closeHandle(handle_);
}

bool FileReader::open(std::u16string_view name) {
    if (handle_ != platform::kNoHandle) {
        return false;
    }
    const auto opened = platform::openForReading(name);
    if (!opened) {
        return false;
    }
    handle_ = opened->handle;
    size_ = opened->size;
    buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, kReadBuffer)));
    return true;
}

void FileReader::read(std::span<std::byte> into) {
    if (handle_ == platform::kNoHandle || into.size() > remaining()) {
        consumed_ = size_;
        throw IoError::endOfFile();
    }
    std::size_t done = 0;
    while (done < into.size()) {
        if (bufferPos_ == bufferEnd_) {
            const std::size_t got = platform::readSome(handle_, buffer_);
            if (got == 0) {
                // The file shrank since it was opened.
                consumed_ = size_;
                throw IoError::endOfFile();
            }
            bufferPos_ = 0;
            bufferEnd_ = got;
        }
        const std::size_t n = std::min(into.size() - done, bufferEnd_ - bufferPos_);
        std::memcpy(into.data() + done, buffer_.data() + bufferPos_, n);
        bufferPos_ += n;
        done += n;
    }
    consumed_ += into.size();
}

void blockwriteStrU(ByteWriter& out, std::u16string_view text) {
    static_assert(kMaxTextLength <=
                  static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));
    if (text.size() > kMaxTextLength) {
        throw IoError::damaged("Text too long for a file");
    }
    writeInt32(out, static_cast<std::int32_t>(text.size()));
    // The byte order is the build's; only a big-endian build carries the swapping code.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    std::vector<std::byte> units;
    units.reserve(text.size() * 2);
    for (const char16_t c : text) {
        units.push_back(static_cast<std::byte>(c & 0xFF));
        units.push_back(static_cast<std::byte>(c >> 8));
    }
    out.write(units);
#else
    static_assert(std::endian::native == std::endian::little);
    out.write(std::as_bytes(std::span(text)));
#endif
}

std::u16string blockreadStrU(ByteReader& in) {
    const std::int32_t n = readInt32(in);
    // Checked before the text's storage exists: a damaged count must not reserve gigabytes.
    if (n < 0 || static_cast<std::uint64_t>(n) * 2 > in.remaining()) {
        throw IoError::endOfFile();
    }
    if (static_cast<std::size_t>(n) > kMaxTextLength) {
        throw IoError::damaged("Datei beschädigt: ein Text ist länger als " +
                               std::to_string(kMaxTextLength) + " Zeichen.");
    }
    std::u16string text(static_cast<std::size_t>(n), u'\0');
    in.read(std::as_writable_bytes(std::span(text)));
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (char16_t& c : text) {
        c = static_cast<char16_t>((c >> 8) | (c << 8));
    }
#endif
    return text;
}

void refuseOversizedFile(std::uint64_t size, std::uint64_t limit) {
    if (size > limit) {
        throw IoError::damaged("Datei beschädigt: mit " + std::to_string(size) +
                               " Bytes ist sie größer, als eine solche Datei sein kann.");
    }
}

void writeInt32(ByteWriter& out, std::int32_t value) {
    out.write(toLittleEndian(value));
}

std::int32_t readInt32(ByteReader& in) {
    return readScalar<std::int32_t>(in);
}

void writeDouble(ByteWriter& out, double value) {
    out.write(toLittleEndian(value));
}

double readDouble(ByteReader& in) {
    return readScalar<double>(in);
}

} // namespace pyrelto
