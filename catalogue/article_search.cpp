#include "article_search.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace pyrelto {

namespace {

bool isWordByte(unsigned char c) {
    // Bytes of multi-byte UTF-8 sequences belong to words (umlauts, ß, ², ...).
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !isWordByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && isWordByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i > start) {
            out.push_back(text.substr(start, i - start));
        }
    }
    return out;
}

} // namespace

std::string foldForSearch(std::string_view utf8) {
    std::string out(utf8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE are C3 80..C3 9E; their small letters are 0x20 higher. U+00D7 is ×.
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                out[i + 1] = static_cast<char>(next + 0x20);
            }
            ++i;
        }
    }
    return out;
}

ArticleSearchIndex::ArticleSearchIndex(std::span<const Article> articles) {
    articleStart_.reserve(articles.size() + 1);
    for (std::size_t a = 0; a < articles.size(); ++a) {
        articleStart_.push_back(static_cast<std::uint32_t>(arena_.size()));
        const std::string number = foldForSearch(articles[a].articleNumber);
        const std::string text = foldForSearch(articles[a].text());
        // The whole article number is one word, whatever punctuation it holds; its and the
        // text's space-separated pieces are words as the query splits them, and the text's
        // pieces split at punctuation too ("Schiefer-grün" is found by "grün").
        std::vector<std::string_view> parts{number};
        const auto addPieces = [&parts](std::string_view all, bool withSubWords) {
            for (std::size_t i = 0; i < all.size();) {
                const std::size_t end = std::min(all.find(' ', i), all.size());
                const std::string_view piece = all.substr(i, end - i);
                i = end + 1;
                if (piece.empty()) {
                    continue;
                }
                parts.push_back(piece);
                const auto sub = words(piece);
                if (withSubWords && (sub.size() != 1 || sub.front() != piece)) {
                    parts.insert(parts.end(), sub.begin(), sub.end());
                }
            }
        };
        if (number.find(' ') != std::string::npos) {
            addPieces(number, false);
        }
        addPieces(text, true);
        for (const std::string_view part : parts) {
            if (part.empty()) {
                continue;
            }
            if (arena_.size() + part.size() + 1 > std::numeric_limits<std::uint32_t>::max()) {
                throw std::length_error("Suchindex: Katalog zu groß");
            }
            entries_.push_back({static_cast<std::uint32_t>(arena_.size()),
                                static_cast<std::uint32_t>(part.size()),
                                static_cast<std::uint32_t>(a)});
            arena_.append(part);
            arena_ += ' ';
        }
    }
    articleStart_.push_back(static_cast<std::uint32_t>(arena_.size()));
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& x, const Entry& y) {
        const std::string_view wx = word(x);
        const std::string_view wy = word(y);
        return wx != wy ? wx < wy : x.article < y.article;
    });
}

bool ArticleSearchIndex::articleHasPrefix(std::size_t article, std::string_view prefix) const {
    const std::string_view all = std::string_view(arena_).substr(
        articleStart_[article], articleStart_[article + 1] - articleStart_[article]);
    std::size_t start = 0;
    while (start < all.size()) {
        if (all.compare(start, prefix.size(), prefix) == 0) {
            return true;
        }
        const std::size_t space = all.find(' ', start);
        if (space == std::string_view::npos) {
            break;
        }
        start = space + 1;
    }
    return false;
}

std::vector<std::size_t> ArticleSearchIndex::search(std::string_view query,
                                                    std::size_t limit) const {
    std::vector<std::size_t> found;
    const std::string folded = foldForSearch(query);
    // Query words split on spaces only, so "DN-100" stays one prefix of an article number.
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < folded.size();) {
        const std::size_t end = std::min(folded.find(' ', i), folded.size());
        if (end > i) {
            tokens.emplace_back(std::string_view(folded).substr(i, end - i));
        }
        i = end + 1;
    }
    if (tokens.empty() || limit == 0) {
        return found;
    }
    using Range = std::pair<std::vector<Entry>::const_iterator, std::vector<Entry>::const_iterator>;
    const auto rangeOf = [this](std::string_view prefix) -> Range {
        const auto first =
            std::lower_bound(entries_.begin(), entries_.end(), prefix,
                             [this](const Entry& e, std::string_view p) { return word(e) < p; });
        const auto last = std::upper_bound(
            first, entries_.end(), prefix,
            [this](std::string_view p, const Entry& e) { return word(e).substr(0, p.size()) > p; });
        return {first, last};
    };
    std::size_t driver = 0;
    Range best = rangeOf(tokens[0]);
    for (std::size_t t = 1; t < tokens.size(); ++t) {
        const Range r = rangeOf(tokens[t]);
        if (r.second - r.first < best.second - best.first) {
            best = r;
            driver = t;
        }
    }
    for (auto it = best.first; it != best.second && found.size() < limit; ++it) {
        const std::size_t article = it->article;
        if (std::find(found.begin(), found.end(), article) != found.end()) {
            continue;
        }
        bool all = true;
        for (std::size_t t = 0; t < tokens.size() && all; ++t) {
            all = t == driver || articleHasPrefix(article, tokens[t]);
        }
        if (all) {
            found.push_back(article);
        }
    }
    return found;
}

} // namespace pyrelto
