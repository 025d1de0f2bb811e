#include "extension_block.h"

#include <algorithm>
#include <cstring>

namespace pyrelto {

namespace {

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

bool isTagCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isTag(const ChunkTag& tag) {
    return std::all_of(tag.begin(), tag.end(), isTagCharacter);
}

std::uint64_t takeUnsigned(std::span<const std::byte> bytes, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) {
        v = (v << 8) | std::to_integer<std::uint64_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return v;
}

std::string tagText(const ChunkTag& tag) {
    return std::string(tag.begin(), tag.end());
}

} // namespace

std::uint32_t crc32(std::span<const std::byte> bytes) {
    std::uint32_t c = 0xFFFFFFFFU;
    for (const std::byte b : bytes) {
        c = kCrcTable[(c ^ std::to_integer<std::uint32_t>(b)) & 0xFFU] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFU;
}

void writeUnsigned(ByteWriter& out, std::uint64_t value, int bytes) {
    std::array<std::byte, 8> b{};
    for (int i = 0; i < bytes; ++i) {
        b[static_cast<std::size_t>(i)] = static_cast<std::byte>((value >> (8 * i)) & 0xFFU);
    }
    out.write(std::span(b.data(), static_cast<std::size_t>(bytes)));
}

std::uint64_t readUnsigned(ByteReader& in, int bytes) {
    std::array<std::byte, 8> b{};
    in.read(std::span(b.data(), static_cast<std::size_t>(bytes)));
    return takeUnsigned(b, 0, bytes);
}

void writeInt64(ByteWriter& out, std::int64_t value) {
    writeUnsigned(out, static_cast<std::uint64_t>(value), 8);
}

std::int64_t readInt64(ByteReader& in) {
    return static_cast<std::int64_t>(readUnsigned(in, 8));
}

void writeExtensionBlock(ByteWriter& out, std::span<const ExtensionChunk> chunks) {
    if (chunks.empty()) {
        return;
    }
    std::size_t size = kExtensionHeaderBytes + kExtensionTrailerBytes;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (!isTag(chunks[i].tag)) {
            throw IoError::damaged("Zusatzdaten: ungültige Kennung eines Abschnitts.");
        }
        for (std::size_t k = 0; k < i; ++k) {
            if (chunks[k].tag == chunks[i].tag) {
                throw IoError::damaged("Zusatzdaten: der Abschnitt " + tagText(chunks[i].tag) +
                                       " kommt zweimal vor.");
            }
        }
        size += 8 + std::min(chunks[i].data.size(), kMaxExtensionBlockBytes);
        if (chunks[i].data.size() > kMaxExtensionBlockBytes || size > kMaxExtensionBlockBytes) {
            throw IoError::damaged(
                "Die Zusatzdaten (z. B. das Aufmaß) sind zu groß für eine Kalkulationsdatei.");
        }
    }
    // The checksum covers the image, so the block is built whole before it goes out.
    MemoryWriter block;
    block.write(std::as_bytes(std::span(kExtensionMagic)));
    writeUnsigned(block, kExtensionVersion, 2);
    writeUnsigned(block, 0, 2); // reserved
    writeUnsigned(block, size - kExtensionHeaderBytes - kExtensionTrailerBytes, 4);
    for (const ExtensionChunk& chunk : chunks) {
        block.write(std::as_bytes(std::span(chunk.tag)));
        writeUnsigned(block, chunk.data.size(), 4);
        block.write(chunk.data);
    }
    writeUnsigned(block, crc32(block.bytes()), 4);
    out.write(block.bytes());
}

std::optional<std::vector<ExtensionChunk>> readExtensionBlock(std::span<const std::byte> bytes,
                                                              std::string& problem) {
    problem.clear();
    if (bytes.size() < kExtensionMagic.size() ||
        !std::equal(kExtensionMagic.begin(), kExtensionMagic.end(), bytes.begin(),
                    [](std::uint8_t m, std::byte b) { return std::byte{m} == b; })) {
        problem = "unbekannte Daten nach dem letzten Eintrag";
        return std::nullopt;
    }
    if (bytes.size() < kExtensionHeaderBytes + kExtensionTrailerBytes) {
        problem = "der Block ist abgeschnitten";
        return std::nullopt;
    }
    const auto version = takeUnsigned(bytes, 8, 2);
    if (version != kExtensionVersion) {
        problem = "unbekannte Version " + std::to_string(version) +
                  " (von einer neueren Programmversion?)";
        return std::nullopt;
    }
    const std::uint64_t length = takeUnsigned(bytes, 12, 4);
    const std::uint64_t available = bytes.size() - kExtensionHeaderBytes - kExtensionTrailerBytes;
    if (length > available) {
        problem = "der Block ist abgeschnitten";
        return std::nullopt;
    }
    if (length < available) {
        problem = "nach dem Block folgen weitere Bytes";
        return std::nullopt;
    }
    if (bytes.size() > kMaxExtensionBlockBytes) {
        problem = "der Block ist größer, als er sein kann";
        return std::nullopt;
    }
    const std::size_t end = kExtensionHeaderBytes + static_cast<std::size_t>(length);
    if (crc32(bytes.first(end)) != takeUnsigned(bytes, end, 4)) {
        problem = "die Prüfsumme stimmt nicht";
        return std::nullopt;
    }
    std::vector<ExtensionChunk> chunks;
    std::size_t at = kExtensionHeaderBytes;
    while (at < end) {
        if (end - at < 8) {
            problem = "ein Abschnitt ist abgeschnitten";
            return std::nullopt;
        }
        ExtensionChunk chunk;
        std::memcpy(chunk.tag.data(), bytes.data() + at, 4);
        const std::uint64_t size = takeUnsigned(bytes, at + 4, 4);
        at += 8;
        if (!isTag(chunk.tag) || size > end - at) {
            problem = "ein Abschnitt ist beschädigt";
            return std::nullopt;
        }
        for (const ExtensionChunk& before : chunks) {
            if (before.tag == chunk.tag) {
                problem = "der Abschnitt " + tagText(chunk.tag) + " kommt zweimal vor";
                return std::nullopt;
            }
        }
        const auto data = bytes.subspan(at, static_cast<std::size_t>(size));
        chunk.data.assign(data.begin(), data.end());
        at += static_cast<std::size_t>(size);
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

} // namespace pyrelto
