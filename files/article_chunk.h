#pragma once
// The catalogue articles that rows of a calculation were picked from, as the payload of the
// extension block's chunk kArticleChunk ("ARTN"), laid out in docs/file-formats.md.
//
// A row remembers the supplier, the article number and a checksum of the row's description as it
// was when the article was picked. An older program version carries the chunk along unchanged
// while its user may type another material into the row; the description then no longer matches,
// and re-pricing leaves that row alone instead of putting the article's price on a different
// material.

#include "extension_block.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

inline constexpr ChunkTag kArticleChunk{'A', 'R', 'T', 'N'};
inline constexpr std::uint16_t kArticleChunkVersion = 1;

// The rows that take an article: the five material rows (0-4, priced per m²) and the five piece
// rows (5-9, priced per piece), in the sheet's order.
inline constexpr std::size_t kArticleRowCount = 10;
// Suppliers and article numbers are short in every list; a longer one is no article reference.
inline constexpr std::size_t kMaxArticleKeyLength = 256;

struct RowArticle {
    std::u16string supplier; // empty when the row does not know it
    std::u16string articleNumber;
    // descriptionChecksum() of the row's description when the article was picked.
    std::uint32_t descriptionCrc = 0;

    friend bool operator==(const RowArticle&, const RowArticle&) = default;
};

using RowArticles = std::array<std::optional<RowArticle>, kArticleRowCount>;

// CRC-32 of the description's UTF-16 units, little-endian.
std::uint32_t descriptionChecksum(std::u16string_view description);

// Whether any row has an article.
bool hasRowArticles(const RowArticles& rows);

// Throws IoError (Kind::Damaged) before anything is returned for an empty article number or a
// supplier or number longer than kMaxArticleKeyLength: every chunk written reads back.
std::vector<std::byte> encodeRowArticles(const RowArticles& rows);
// Throws IoError (Kind::Damaged, a German reason) for an unknown version, a row number out of
// range or given twice, an empty or overlong text, a payload that ends early or runs on.
RowArticles decodeRowArticles(std::span<const std::byte> payload);

} // namespace pyrelto
