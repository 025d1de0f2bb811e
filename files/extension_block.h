#pragma once
// The extension block: everything of ours that a calculation file carries after its 80 entries
// (docs/file-formats.md, "Extension block"). A reader that stops after entry 80 never sees it, so
// a file with a block still opens there exactly as before.
//
// The block is a magic tag, a format version, the length of what follows, tagged chunks and a
// CRC-32 over all of it. Each feature owns one chunk tag and versions its own payload; a reader
// keeps the chunks it does not know and writes them back unchanged.

#include "torvane.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pyrelto {

// "PYRX", CR LF, Ctrl-Z, LF: a transfer that rewrites line ends or stops at Ctrl-Z breaks the tag
// rather than the content.
inline constexpr std::array<std::uint8_t, 8> kExtensionMagic{0x50, 0x59, 0x52, 0x58,
                                                             0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr std::uint16_t kExtensionVersion = 1;
// Magic, version, reserved, length; the CRC-32 follows the chunks.
inline constexpr std::size_t kExtensionHeaderBytes = 16;
inline constexpr std::size_t kExtensionTrailerBytes = 4;
// The whole block, header and checksum included. With the 80 entries at their bound (about
// 10 MiB) a file stays below the calculation file's 16 MiB.
inline constexpr std::size_t kMaxExtensionBlockBytes = std::size_t{4} * 1024 * 1024;

using ChunkTag = std::array<char, 4>;
// The take-off ("Aufmaß") chunk.
inline constexpr ChunkTag kTakeOffChunk{'T', 'K', 'O', 'F'};

struct ExtensionChunk {
    ChunkTag tag{};
    std::vector<std::byte> data;
    friend bool operator==(const ExtensionChunk&, const ExtensionChunk&) = default;
};

// CRC-32 as in zlib, PNG and Ethernet (polynomial 0x04C11DB7 reflected, initial value and final
// XOR 0xFFFFFFFF): "123456789" gives 0xCBF43926.
std::uint32_t crc32(std::span<const std::byte> bytes);

// Appends the block holding `chunks` in their order; nothing at all when there are none, so that a
// file without anything of ours is the 80 entries alone. Throws IoError (Kind::Damaged) before
// writing anything when a tag is used twice or is no four letters or digits, or when the block
// would exceed kMaxExtensionBlockBytes.
void writeExtensionBlock(ByteWriter& out, std::span<const ExtensionChunk> chunks);

// Reads a block that must fill `bytes` exactly. Returns the chunks in file order, or nullopt with
// `problem` set to a German reason ("die Prüfsumme stimmt nicht"): not a block, an unknown version,
// cut short, bytes after it, a wrong checksum, a damaged or repeated chunk. Never throws and
// allocates no more than `bytes` holds.
std::optional<std::vector<ExtensionChunk>> readExtensionBlock(std::span<const std::byte> bytes,
                                                              std::string& problem);

// Little-endian whole numbers of 1, 2, 4 or 8 bytes, for chunk payloads.
void writeUnsigned(ByteWriter& out, std::uint64_t value, int bytes);
std::uint64_t readUnsigned(ByteReader& in, int bytes);
void writeInt64(ByteWriter& out, std::int64_t value);
std::int64_t readInt64(ByteReader& in);

} // namespace pyrelto
