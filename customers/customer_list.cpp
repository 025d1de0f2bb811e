#include "customer_list.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace pyrelto {

namespace {

int codeUnitCompare(std::u16string_view a, std::u16string_view b) {
    return a.compare(b);
}

// Deliberately not locale-aware: the search maps exactly a-z, so "ä" never meets "Ä".
constexpr char16_t asciiUpper(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

} // namespace

CustomerList::CustomerList(Compare compare)
    : compare_(compare ? std::move(compare) : Compare(codeUnitCompare)) {}

void CustomerList::addObserver(CustomerListObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void CustomerList::removeObserver(CustomerListObserver* observer) {
    std::erase(observers_, observer);
}

void CustomerList::setCompare(Compare compare) {
    compare_ = compare ? std::move(compare) : Compare(codeUnitCompare);
    orderedPrefix_ = 0;
    if (!updating())
        sort();
}

void CustomerList::checkIndex(int index) const {
    if (index < 0 || index >= count())
        throw std::out_of_range("customer list index out of range");
}

const std::u16string& CustomerList::name(int index) const {
    checkIndex(index);
    return names_[static_cast<std::size_t>(index)];
}

void CustomerList::clear() {
    notify([](CustomerListObserver& o) { o.aboutToClear(); });
    names_.clear();
    selected_ = -1;
    orderedPrefix_ = 0;
    notify([](CustomerListObserver& o) { o.cleared(); });
}

void CustomerList::assign(std::vector<std::u16string> names) {
    notify([](CustomerListObserver& o) { o.aboutToClear(); });
    names_ = std::move(names);
    selected_ = -1;
    orderedPrefix_ = 0;
    notify([](CustomerListObserver& o) { o.cleared(); });
    if (!updating())
        sortNames();
}

int CustomerList::append() {
    const int index = count();
    notify([index](CustomerListObserver& o) { o.aboutToInsert(index); });
    if (orderedPrefix_ == index && (index == 0 || compare_(names_.back(), u"") <= 0))
        ++orderedPrefix_;
    names_.emplace_back();
    notify([index](CustomerListObserver& o) { o.inserted(index); });
    return index;
}

int CustomerList::setName(int index, std::u16string name) {
    checkIndex(index);
    auto& current = names_[static_cast<std::size_t>(index)];
    if (current == name)
        return index;
    current = std::move(name);
    // Sorting 200,000 names for one rename stalls the window; every other entry is in order
    // unless several new entries wait unnamed at the end.
    const bool othersInOrder =
        orderedPrefix_ == count() || (orderedPrefix_ == count() - 1 && index == count() - 1);
    orderedPrefix_ = std::min(orderedPrefix_, index);
    notify([index](CustomerListObserver& o) { o.entryChanged(index); });
    if (updating())
        return index;
    if (othersInOrder)
        return placeEntry(index);
    const auto newIndexOf = sortNames();
    return newIndexOf.empty() ? index : newIndexOf[static_cast<std::size_t>(index)];
}

int CustomerList::placeEntry(int index) {
    const auto less = [this](const std::u16string& a, const std::u16string& b) {
        return compare_(a, b) < 0;
    };
    const auto first = names_.begin();
    const auto at = first + index;
    const std::u16string& name = *at;
    // Where a stable sort puts it: after the equal names that stood before it, before the equal
    // names that stood after it.
    auto to = std::upper_bound(first, at, name, less);
    if (to == at)
        to = std::lower_bound(at + 1, names_.end(), name, less) - 1;
    const int target = static_cast<int>(to - first);
    orderedPrefix_ = count();
    if (target == index)
        return index;

    notify([](CustomerListObserver& o) { o.aboutToSort(); });
    if (target < index)
        std::rotate(to, at, at + 1);
    else
        std::rotate(at, at + 1, to + 1);
    std::vector<int> newIndexOf(names_.size());
    std::iota(newIndexOf.begin(), newIndexOf.end(), 0);
    const int step = target < index ? 1 : -1;
    for (int i = std::min(index, target); i <= std::max(index, target); ++i)
        newIndexOf[static_cast<std::size_t>(i)] = i + step;
    newIndexOf[static_cast<std::size_t>(index)] = target;
    if (selected_ >= 0)
        selected_ = newIndexOf[static_cast<std::size_t>(selected_)];
    notify([&newIndexOf](CustomerListObserver& o) { o.sorted(newIndexOf); });
    return target;
}

void CustomerList::remove(int index) {
    checkIndex(index);
    notify([index](CustomerListObserver& o) { o.aboutToRemove(index); });
    names_.erase(names_.begin() + index);
    if (index < orderedPrefix_)
        --orderedPrefix_;
    if (selected_ == index)
        selected_ = -1;
    else if (selected_ > index)
        --selected_;
    notify([index](CustomerListObserver& o) { o.removed(index); });
}

void CustomerList::beginUpdate() {
    if (updateDepth_++ == 0)
        notify([](CustomerListObserver& o) { o.bulkUpdateBegun(); });
}

void CustomerList::endUpdate() {
    if (updateDepth_ == 0)
        return;
    if (--updateDepth_ > 0)
        return;
    sortNames();
    notify([](CustomerListObserver& o) { o.bulkUpdateEnded(); });
}

bool CustomerList::isSorted() const {
    return std::is_sorted(names_.begin(), names_.end(),
                          [this](const auto& a, const auto& b) { return compare_(a, b) < 0; });
}

void CustomerList::sort() {
    sortNames();
}

std::vector<int> CustomerList::sortNames() {
    const auto n = names_.size();
    // A list loaded from its own file is in order already: n comparisons instead of n log n.
    if (isSorted()) {
        orderedPrefix_ = count();
        return {};
    }
    std::vector<int> order(n); // order[new] = old
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return compare_(names_[static_cast<std::size_t>(a)], names_[static_cast<std::size_t>(b)]) <
               0;
    });
    if (std::is_sorted(order.begin(), order.end()))
        return {}; // already in order: nothing moves, nobody needs telling

    notify([](CustomerListObserver& o) { o.aboutToSort(); });
    std::vector<std::u16string> sortedNames(n);
    std::vector<int> newIndexOf(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto old = static_cast<std::size_t>(order[i]);
        sortedNames[i] = std::move(names_[old]);
        newIndexOf[old] = static_cast<int>(i);
    }
    names_ = std::move(sortedNames);
    orderedPrefix_ = count();
    if (selected_ >= 0)
        selected_ = newIndexOf[static_cast<std::size_t>(selected_)];
    notify([&newIndexOf](CustomerListObserver& o) { o.sorted(newIndexOf); });
    return newIndexOf;
}

void CustomerList::select(int index) {
    if (index != -1)
        checkIndex(index);
    if (index == selected_)
        return;
    const int previous = selected_;
    selected_ = index;
    if (previous >= 0)
        notify([previous](CustomerListObserver& o) { o.entryChanged(previous); });
    if (index >= 0)
        notify([index](CustomerListObserver& o) { o.entryChanged(index); });
}

bool CustomerList::matches(std::u16string_view name, std::u16string_view text) {
    if (text.empty() || name.empty())
        return false;
    const auto it =
        std::search(name.begin(), name.end(), text.begin(), text.end(),
                    [](char16_t n, char16_t t) { return asciiUpper(n) == asciiUpper(t); });
    return it != name.end();
}

int CustomerList::find(std::u16string_view text, int from) const {
    for (int i = std::max(from, 0); i < count(); ++i) {
        if (matches(names_[static_cast<std::size_t>(i)], text))
            return i;
    }
    return -1;
}

int CustomerList::searchFirst(std::u16string_view text) {
    const int found = find(text, 0);
    if (found >= 0)
        select(found);
    return found;
}

int CustomerList::searchNext(std::u16string_view text) {
    const int found = find(text, selected_ + 1);
    if (found >= 0)
        select(found);
    return found;
}

} // namespace pyrelto
