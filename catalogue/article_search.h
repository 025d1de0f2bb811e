// Search as you type over the catalogue's articles: every word of the query must be the start of
// a word of the article's text or of its article number, without regard to case (umlauts
// included: "ÄUSSERE" finds "äußere" only as far as the letters agree, ß is not expanded).
// Built once per catalogue revision; a query touches only the index entries that share the
// rarest query word's prefix, so a keystroke costs the same at 200 or 200,000 articles.
#pragma once

#include "article.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// Lower case for A-Z and the Latin-1 capitals (Ä Ö Ü ...); other text unchanged.
std::string foldForSearch(std::string_view utf8);

class ArticleSearchIndex {
public:
    ArticleSearchIndex() = default;
    explicit ArticleSearchIndex(std::span<const Article> articles);

    // Positions in the span the index was built from, at most `limit`, ordered by the matched
    // word of the rarest query word. An empty query finds nothing.
    [[nodiscard]] std::vector<std::size_t> search(std::string_view query, std::size_t limit) const;

private:
    struct Entry {
        std::uint32_t offset; // into arena_
        std::uint32_t length;
        std::uint32_t article;
    };
    [[nodiscard]] std::string_view word(const Entry& e) const {
        return std::string_view(arena_).substr(e.offset, e.length);
    }
    [[nodiscard]] bool articleHasPrefix(std::size_t article, std::string_view prefix) const;

    // Each article's folded number and text, words separated by one space.
    std::string arena_;
    std::vector<std::uint32_t> articleStart_; // size articles + 1
    std::vector<Entry> entries_;              // sorted by word
};

} // namespace pyrelto
