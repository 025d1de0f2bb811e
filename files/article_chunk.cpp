#include "article_chunk.h"

#include <algorithm>

namespace pyrelto {

namespace {

[[noreturn]] void damaged(const std::string& what) {
    throw IoError::damaged("Artikelnummern: " + what);
}

void checkKey(std::u16string_view text, bool required) {
    if (required && text.empty()) {
        damaged("eine Zeile hat keine Artikelnummer.");
    }
    if (text.size() > kMaxArticleKeyLength) {
        damaged("ein Lieferant oder eine Artikelnummer ist länger als " +
                std::to_string(kMaxArticleKeyLength) + " Zeichen.");
    }
}

} // namespace

std::uint32_t descriptionChecksum(std::u16string_view description) {
    std::vector<std::byte> bytes;
    bytes.reserve(description.size() * 2);
    for (const char16_t unit : description) {
        bytes.push_back(static_cast<std::byte>(unit & 0xFFU));
        bytes.push_back(static_cast<std::byte>(unit >> 8));
    }
    return crc32(bytes);
}

bool hasRowArticles(const RowArticles& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const auto& row) { return row.has_value(); });
}

std::vector<std::byte> encodeRowArticles(const RowArticles& rows) {
    MemoryWriter out;
    writeUnsigned(out, kArticleChunkVersion, 2);
    const auto count = static_cast<std::uint64_t>(
        std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.has_value(); }));
    writeUnsigned(out, count, 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i]) {
            continue;
        }
        checkKey(rows[i]->supplier, false);
        checkKey(rows[i]->articleNumber, true);
        writeUnsigned(out, i, 1);
        writeUnsigned(out, rows[i]->descriptionCrc, 4);
        blockwriteStrU(out, rows[i]->supplier);
        blockwriteStrU(out, rows[i]->articleNumber);
    }
    return out.bytes();
}

RowArticles decodeRowArticles(std::span<const std::byte> payload) {
    MemoryReader in(payload);
    try {
        const auto version = readUnsigned(in, 2);
        if (version != kArticleChunkVersion) {
            damaged("unbekannte Version " + std::to_string(version) +
                    " (von einer neueren Programmversion?).");
        }
        RowArticles rows;
        const auto count = readUnsigned(in, 1);
        if (count > kArticleRowCount) {
            damaged("die Zahl der Zeilen ist ungültig.");
        }
        std::uint64_t next = 0; // rows come in ascending order, each once
        for (std::uint64_t k = 0; k < count; ++k) {
            const auto row = readUnsigned(in, 1);
            if (row < next || row >= kArticleRowCount) {
                damaged("eine Zeilennummer ist ungültig oder doppelt.");
            }
            next = row + 1;
            RowArticle article;
            article.descriptionCrc = static_cast<std::uint32_t>(readUnsigned(in, 4));
            article.supplier = blockreadStrU(in);
            checkKey(article.supplier, false);
            article.articleNumber = blockreadStrU(in);
            checkKey(article.articleNumber, true);
            rows[row] = std::move(article);
        }
        if (!in.atEnd()) {
            damaged("nach den Daten folgen weitere Bytes.");
        }
        return rows;
    } catch (const IoError& e) {
        if (e.kind() == IoError::Kind::EndOfFile) {
            damaged("die Daten sind abgeschnitten.");
        }
        throw;
    }
}

} // namespace pyrelto
