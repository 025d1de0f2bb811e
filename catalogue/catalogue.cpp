#include "catalogue.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

namespace pyrelto {

namespace {

bool keyLess(const Article& a, const Article& b) {
    return std::tie(a.supplier, a.articleNumber) < std::tie(b.supplier, b.articleNumber);
}

} // namespace

bool sameListFields(const Article& a, const Article& b) {
    return a.supplier == b.supplier && a.articleNumber == b.articleNumber &&
           a.shortText1 == b.shortText1 && a.shortText2 == b.shortText2 && a.unit == b.unit &&
           a.priceUnit == b.priceUnit && a.listPrice == b.listPrice &&
           a.listPrice.decimals == b.listPrice.decimals && a.priceKind == b.priceKind &&
           a.discountGroup == b.discountGroup && a.mainProductGroup == b.mainProductGroup &&
           a.ean == b.ean;
}

std::vector<Article>::const_iterator Catalogue::lowerBound(std::string_view supplier,
                                                           std::string_view articleNumber) const {
    const auto before = [](const Article& a,
                           const std::pair<std::string_view, std::string_view>& key) {
        const std::string_view first = a.supplier;
        return first != key.first ? first < key.first
                                  : std::string_view(a.articleNumber) < key.second;
    };
    return std::lower_bound(articles_.begin(), articles_.end(), std::pair(supplier, articleNumber),
                            before);
}

const Article* Catalogue::find(std::string_view supplier, std::string_view articleNumber) const {
    const auto it = lowerBound(supplier, articleNumber);
    if (it != articles_.end() && it->supplier == supplier && it->articleNumber == articleNumber) {
        return &*it;
    }
    return nullptr;
}

std::vector<const Article*> Catalogue::findNumber(std::string_view articleNumber) const {
    std::vector<const Article*> found;
    // Suppliers are few: one lookup per supplier block.
    auto it = articles_.begin();
    while (it != articles_.end()) {
        const std::string& supplier = it->supplier;
        const auto match = lowerBound(supplier, articleNumber);
        if (match != articles_.end() && match->supplier == supplier &&
            match->articleNumber == articleNumber) {
            found.push_back(&*match);
        }
        it =
            std::upper_bound(it, articles_.cend(), supplier,
                             [](const std::string& s, const Article& a) { return s < a.supplier; });
    }
    return found;
}

void Catalogue::put(Article article) {
    const auto it = lowerBound(article.supplier, article.articleNumber);
    const auto at = articles_.begin() + (it - articles_.cbegin());
    if (at != articles_.end() && at->supplier == article.supplier &&
        at->articleNumber == article.articleNumber) {
        *at = std::move(article);
    } else {
        articles_.insert(at, std::move(article));
    }
    ++revision_;
}

void Catalogue::assign(std::vector<Article> articles,
                       std::map<std::pair<std::string, std::string>, Decimal> groupDiscounts) {
    std::stable_sort(articles.begin(), articles.end(), keyLess);
    // Of equal keys the last one given stays: keep each run's last element.
    std::vector<Article> unique;
    unique.reserve(articles.size());
    for (std::size_t i = 0; i < articles.size(); ++i) {
        if (i + 1 < articles.size() && !keyLess(articles[i], articles[i + 1])) {
            continue;
        }
        unique.push_back(std::move(articles[i]));
    }
    articles_ = std::move(unique);
    groupDiscounts_ = std::move(groupDiscounts);
    ++revision_;
}

std::optional<Decimal> Catalogue::groupDiscount(std::string_view supplier,
                                                std::string_view group) const {
    const auto it = groupDiscounts_.find({std::string(supplier), std::string(group)});
    if (it == groupDiscounts_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void Catalogue::setGroupDiscount(const std::string& supplier, const std::string& group,
                                 std::optional<Decimal> percent) {
    if (percent) {
        groupDiscounts_[{supplier, group}] = *percent;
    } else {
        groupDiscounts_.erase({supplier, group});
    }
    ++revision_;
}

ImportPlan Catalogue::planImport(const PriceList& list) const {
    ImportPlan plan;
    plan.supplier = list.supplier;
    plan.revision = revision_;
    plan.problems = list.problems;
    if (list.supplier.empty()) {
        reportProblem(plan.problems, 0, "Kein Lieferant angegeben.");
    }

    // The list's articles merged with what the catalogue holds, by article number.
    std::vector<Article> incoming;
    incoming.reserve(list.articles.size());
    std::vector<bool> withdrawn;
    withdrawn.reserve(list.articles.size());
    std::unordered_map<std::string, std::size_t> byNumber;
    byNumber.reserve(list.articles.size());
    for (const ListedArticle& listed : list.articles) {
        Article article = listed.article;
        article.supplier = list.supplier;
        if (const Article* old = find(list.supplier, article.articleNumber)) {
            article.wastePercent = old->wastePercent;
            if (!article.coverage) {
                article.coverage = old->coverage;
            }
        }
        byNumber.emplace(article.articleNumber, incoming.size());
        incoming.push_back(std::move(article));
        withdrawn.push_back(listed.withdrawn);
    }
    // Prices sent apart from their articles: for this list's articles or for the catalogue's.
    for (const PriceChange& change : list.priceChanges) {
        const auto it = byNumber.find(change.articleNumber);
        if (it != byNumber.end()) {
            incoming[it->second].listPrice = change.price;
            incoming[it->second].priceKind = change.kind;
            continue;
        }
        const Article* old = find(list.supplier, change.articleNumber);
        if (old == nullptr) {
            reportProblem(plan.problems, change.line,
                          "Zeile " + std::to_string(change.line) + ": Preis für Artikel „" +
                              change.articleNumber +
                              "“, der weder in dieser Datei noch im Katalog steht.");
            continue;
        }
        Article article = *old;
        article.listPrice = change.price;
        article.priceKind = change.kind;
        article.priceDate = list.date;
        byNumber.emplace(article.articleNumber, incoming.size());
        incoming.push_back(std::move(article));
        withdrawn.push_back(false);
    }

    for (std::size_t i = 0; i < incoming.size(); ++i) {
        Article& article = incoming[i];
        const Article* old = find(list.supplier, article.articleNumber);
        if (withdrawn[i]) {
            if (old != nullptr) {
                plan.withdrawn.push_back(*old);
            }
            continue;
        }
        if (old == nullptr) {
            plan.added.push_back(std::move(article));
            continue;
        }
        if (article.listPrice != old->listPrice) {
            article.previousPrice = old->listPrice;
            article.previousPriceDate = old->priceDate;
        } else {
            article.previousPrice = old->previousPrice;
            article.previousPriceDate = old->previousPriceDate;
            // The same price keeps the date it was first listed at.
            article.priceDate = old->priceDate;
        }
        if (sameListFields(article, *old) && article.coverage == old->coverage) {
            ++plan.unchanged;
        } else {
            plan.changed.push_back({*old, std::move(article)});
        }
    }
    return plan;
}

void Catalogue::apply(const ImportPlan& plan) {
    if (!plan.applicable()) {
        throw ImportRefused("Die Preisliste enthält " + std::to_string(plan.problems.size()) +
                            " fehlerhafte Zeilen und wurde nicht übernommen.");
    }
    if (plan.revision != revision_) {
        throw ImportRefused("Der Katalog wurde seit der Vorschau geändert; bitte die Preisliste "
                            "erneut einlesen.");
    }
    // Built beside the current articles and swapped in, so a failure leaves them as they were.
    std::vector<Article> next;
    next.reserve(articles_.size() + plan.added.size());
    std::unordered_map<std::string, const Article*> replaced;
    replaced.reserve(plan.changed.size() + plan.withdrawn.size());
    for (const ArticleChange& change : plan.changed) {
        replaced.emplace(change.after.articleNumber, &change.after);
    }
    for (const Article& gone : plan.withdrawn) {
        replaced.emplace(gone.articleNumber, nullptr);
    }
    for (const Article& article : articles_) {
        if (article.supplier == plan.supplier) {
            const auto it = replaced.find(article.articleNumber);
            if (it != replaced.end()) {
                if (it->second != nullptr) {
                    next.push_back(*it->second);
                }
                continue;
            }
        }
        next.push_back(article);
    }
    next.insert(next.end(), plan.added.begin(), plan.added.end());
    std::sort(next.begin(), next.end(), keyLess);
    articles_.swap(next);
    ++revision_;
}

} // namespace pyrelto
