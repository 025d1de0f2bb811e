// The in-memory catalogue: every supplier's articles, the firm's discount per supplier discount
// group, and the import of a price list in two steps — planImport() works out what would change
// (the summary the user confirms), apply() makes exactly that change or none at all. The store
// keeps the same data in its tables; this class is what the readers, the re-pricing and the
// search work on.
#pragma once

#include "price_list.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

struct ArticleChange {
    Article before;
    Article after;
};

// The summary of an import. Only a plan without problems may be applied.
struct ImportPlan {
    std::string supplier;
    std::vector<Article> added;
    std::vector<ArticleChange> changed;
    std::vector<Article> withdrawn;
    std::size_t unchanged = 0;
    std::vector<ImportProblem> problems;
    // The catalogue revision the plan was worked out against.
    std::uint64_t revision = 0;

    [[nodiscard]] bool applicable() const { return problems.empty(); }
};

// Thrown by Catalogue::apply; what() is the German message for the error box. Nothing changed.
class ImportRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Catalogue {
public:
    // Sorted by supplier, then article number; positions are stable until the next change.
    [[nodiscard]] const std::vector<Article>& articles() const { return articles_; }
    [[nodiscard]] const Article* find(std::string_view supplier,
                                      std::string_view articleNumber) const;
    // Every supplier's article with this number.
    [[nodiscard]] std::vector<const Article*> findNumber(std::string_view articleNumber) const;

    // Whole-catalogue edits, e.g. the "Materialien" tab editing our own fields: inserts or
    // replaces the article with the same supplier and number.
    void put(Article article);
    // Everything at once, as the store loads it: the articles in any order (one per supplier and
    // number; of two with the same key the later one stays) and the group discounts.
    void assign(std::vector<Article> articles,
                std::map<std::pair<std::string, std::string>, Decimal> groupDiscounts);

    // The discount % the firm gets on a supplier's discount group.
    [[nodiscard]] std::optional<Decimal> groupDiscount(std::string_view supplier,
                                                       std::string_view group) const;
    void setGroupDiscount(const std::string& supplier, const std::string& group,
                          std::optional<Decimal> percent);
    [[nodiscard]] const std::map<std::pair<std::string, std::string>, Decimal>&
    groupDiscounts() const {
        return groupDiscounts_;
    }

    // What importing `list` would do. New list fields replace the old ones; our own fields stay,
    // except a coverage the list itself gives. A changed price keeps the old one with its date as
    // the previous price. A P record for an article neither in the list nor in the catalogue, an
    // empty supplier, and every problem the reader found make the plan inapplicable.
    [[nodiscard]] ImportPlan planImport(const PriceList& list) const;

    // Makes the plan's change in one step. Throws ImportRefused, changing nothing, when the plan
    // has problems or the catalogue changed since it was planned.
    void apply(const ImportPlan& plan);

    // Counts every change; a plan remembers the revision it saw.
    [[nodiscard]] std::uint64_t revision() const { return revision_; }

private:
    std::vector<Article>::const_iterator lowerBound(std::string_view supplier,
                                                    std::string_view articleNumber) const;

    std::vector<Article> articles_;
    std::map<std::pair<std::string, std::string>, Decimal> groupDiscounts_;
    std::uint64_t revision_ = 0;
};

// True when the two articles agree in every field a price list gives (not our own fields, not
// the previous price).
bool sameListFields(const Article& a, const Article& b);

} // namespace pyrelto
