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
#include <utility>
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

    // Every position that matches, ascending (the catalogue's order), for a list that shows all
    // of them. An empty query finds nothing. Costs a pass over the rarest query word's entries and
    // one over a byte per article, never a sort of the matches.
    [[nodiscard]] std::vector<std::size_t> searchAll(std::string_view query) const;

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
    using EntryRange =
        std::pair<std::vector<Entry>::const_iterator, std::vector<Entry>::const_iterator>;
    // The words of a folded query (views into it), and the entries of the one with the fewest
    // entries (`driver`).
    struct Plan {
        std::vector<std::string_view> tokens;
        std::size_t driver = 0;
        EntryRange range;
    };
    [[nodiscard]] Plan plan(std::string_view folded) const;
    [[nodiscard]] bool matchesOthers(std::size_t article, const Plan& plan) const;

    // Each article's folded number and text, words separated by one space.
    std::string arena_;
    std::vector<std::uint32_t> articleStart_; // size articles + 1
    std::vector<Entry> entries_;              // sorted by word
};

} // namespace pyrelto
