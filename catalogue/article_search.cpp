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

ArticleSearchIndex::Plan ArticleSearchIndex::plan(std::string_view folded) const {
    Plan plan;
    // Query words split on spaces only, so "DN-100" stays one prefix of an article number.
    for (std::size_t i = 0; i < folded.size();) {
        const std::size_t end = std::min(folded.find(' ', i), folded.size());
        if (end > i) {
            plan.tokens.emplace_back(folded.substr(i, end - i));
        }
        i = end + 1;
    }
    plan.range = {entries_.end(), entries_.end()};
    if (plan.tokens.empty()) {
        return plan;
    }
    const auto rangeOf = [this](std::string_view prefix) -> EntryRange {
        const auto first =
            std::lower_bound(entries_.begin(), entries_.end(), prefix,
                             [this](const Entry& e, std::string_view p) { return word(e) < p; });
        const auto last = std::upper_bound(
            first, entries_.end(), prefix,
            [this](std::string_view p, const Entry& e) { return word(e).substr(0, p.size()) > p; });
        return {first, last};
    };
    plan.range = rangeOf(plan.tokens[0]);
    for (std::size_t t = 1; t < plan.tokens.size(); ++t) {
        const EntryRange r = rangeOf(plan.tokens[t]);
        if (r.second - r.first < plan.range.second - plan.range.first) {
            plan.range = r;
            plan.driver = t;
        }
    }
    return plan;
}

bool ArticleSearchIndex::matchesOthers(std::size_t article, const Plan& plan) const {
    for (std::size_t t = 0; t < plan.tokens.size(); ++t) {
        if (t != plan.driver && !articleHasPrefix(article, plan.tokens[t])) {
            return false;
        }
    }
    return true;
}

std::vector<std::size_t> ArticleSearchIndex::search(std::string_view query,
                                                    std::size_t limit) const {
    std::vector<std::size_t> found;
    const std::string folded = foldForSearch(query);
    const Plan p = plan(folded);
    if (p.tokens.empty() || limit == 0) {
        return found;
    }
    for (auto it = p.range.first; it != p.range.second && found.size() < limit; ++it) {
        const std::size_t article = it->article;
        if (std::find(found.begin(), found.end(), article) != found.end()) {
            continue;
        }
        if (matchesOthers(article, p)) {
            found.push_back(article);
        }
    }
    return found;
}

std::vector<std::size_t> ArticleSearchIndex::searchAll(std::string_view query) const {
    std::vector<std::size_t> found;
    const std::string folded = foldForSearch(query);
    const Plan p = plan(folded);
    if (p.tokens.empty() || p.range.first == p.range.second) {
        return found;
    }
    // One byte per article: 0 not seen, 1 rejected, 2 matches. An article has several entries in
    // the range when several of its words share the prefix; the others are checked once.
    std::vector<unsigned char> seen(articleStart_.size() - 1, 0);
    std::size_t matches = 0;
    for (auto it = p.range.first; it != p.range.second; ++it) {
        unsigned char& mark = seen[it->article];
        if (mark == 0) {
            mark = matchesOthers(it->article, p) ? 2 : 1;
            matches += mark == 2 ? 1 : 0;
        }
    }
    found.reserve(matches);
    for (std::size_t a = 0; a < seen.size(); ++a) {
        if (seen[a] == 2) {
            found.push_back(a);
        }
    }
    return found;
}

} // namespace pyrelto
