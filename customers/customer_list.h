#pragma once
// The customer list without any user interface: an ordered sequence of names (empty names and
// duplicates allowed), at most one selected entry, a bulk update that holds back sorting, and the
// two searches of the customer tab. The order is kept by a comparison handed in from outside, so
// the list itself knows nothing about locales.

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// What a view of the list is told. Every "about to" call comes before the list changes, its
// partner after, so a view can keep indexes of its own in step. The default bodies do nothing.
class CustomerListObserver {
public:
    virtual ~CustomerListObserver() = default;

    // The list's change notification: the name or the selection state of the entry at `index`
    // changed. Raised inside a bulk update too; inserting or removing an entry does not raise it.
    virtual void entryChanged(int /*index*/) {}

    virtual void aboutToInsert(int /*index*/) {}
    virtual void inserted(int /*index*/) {}
    virtual void aboutToRemove(int /*index*/) {}
    virtual void removed(int /*index*/) {}
    // Every entry goes, or is replaced wholesale by assign().
    virtual void aboutToClear() {}
    virtual void cleared() {}
    // A sort is about to move entries; afterwards `newIndexOf[old]` is where the entry that stood
    // at `old` stands now.
    virtual void aboutToSort() {}
    virtual void sorted(std::span<const int> /*newIndexOf*/) {}

    // The outermost bulk update begins / has ended (after its sort).
    virtual void bulkUpdateBegun() {}
    virtual void bulkUpdateEnded() {}
};

class CustomerList {
public:
    // Negative, zero or positive as `a` orders before, with or after `b`.
    using Compare = std::function<int(std::u16string_view a, std::u16string_view b)>;

    // Without a comparison the names are ordered by their UTF-16 code units.
    explicit CustomerList(Compare compare = {});
    CustomerList(const CustomerList&) = delete;
    CustomerList& operator=(const CustomerList&) = delete;

    // Observers are not owned; one must be removed before it dies.
    void addObserver(CustomerListObserver* observer);
    void removeObserver(CustomerListObserver* observer);

    // Replaces the comparison and re-sorts with it.
    void setCompare(Compare compare);
    int compare(std::u16string_view a, std::u16string_view b) const { return compare_(a, b); }

    int count() const noexcept { return static_cast<int>(names_.size()); }
    // `index` must be in [0, count()).
    const std::u16string& name(int index) const;
    const std::vector<std::u16string>& names() const noexcept { return names_; }

    // Removes every entry and the selection.
    void clear();
    // Replaces every entry by `names` and removes the selection: what clear() followed by
    // append() and setName() for each name does, told to the observers as one clear (aboutToClear,
    // cleared) instead of per name. Outside a bulk update the list then sorts.
    void assign(std::vector<std::u16string> names);
    // Appends an entry with an empty name and returns its index. It is not sorted and raises no
    // change notification.
    int append();
    // Sets the name of the entry at `index`. A name equal to the current one changes nothing.
    // Otherwise the change notification is raised and, outside a bulk update, the list re-sorts:
    // when every other entry is already in order (the usual case: a rename, or the name of a new
    // entry at the end), the entry alone moves to its place, found by binary search.
    // Returns the entry's index afterwards.
    int setName(int index, std::u16string name);
    // Removes the entry at `index`; when it was the selected one, nothing is selected afterwards.
    void remove(int index);

    // Bulk updates nest; while one lasts, setName does not sort. When the outermost one ends, the
    // list sorts once.
    void beginUpdate();
    void endUpdate();
    bool updating() const noexcept { return updateDepth_ > 0; }

    // Sorts the names ascending by the comparison. Entries that compare equal keep their order.
    void sort();
    bool isSorted() const;

    // The selected entry's index, or -1.
    int selected() const noexcept { return selected_; }
    // Selects the entry at `index` (-1: none). Raises the change notification for the entry that
    // loses the selection and for the one that gains it.
    void select(int index);

    // The matching rule of both searches: the search text, with only a-z upper-cased, occurs in
    // the name with only a-z upper-cased. An empty text and an empty name match nothing.
    static bool matches(std::u16string_view name, std::u16string_view text);
    // The first matching index in [from, count()), or -1. Never wraps around.
    int find(std::u16string_view text, int from) const;
    // "Suchen": the first match from the top. A match is selected; returns its index or -1 (and
    // then nothing changed).
    int searchFirst(std::u16string_view text);
    // "Weiter suchen": like searchFirst, but starting after the selected entry.
    int searchNext(std::u16string_view text);

private:
    void checkIndex(int index) const;
    // Sorts and returns where each entry went, or nothing when no entry moved.
    std::vector<int> sortNames();
    // Moves the entry at `index` to where a stable sort would put it, the others being in order.
    int placeEntry(int index);
    template <typename F> void notify(F&& f) {
        // Copy: an observer may remove itself while being told. A list has two or three
        // observers and a load of 200,000 names tells them 400,000 times: no allocation for that.
        constexpr std::size_t kInline = 8;
        if (observers_.size() <= kInline) {
            std::array<CustomerListObserver*, kInline> observers{};
            std::copy(observers_.begin(), observers_.end(), observers.begin());
            const std::size_t n = observers_.size();
            for (std::size_t i = 0; i < n; ++i)
                f(*observers[i]);
            return;
        }
        const auto observers = observers_;
        for (auto* o : observers)
            f(*o);
    }

    Compare compare_;
    std::vector<std::u16string> names_;
    std::vector<CustomerListObserver*> observers_;
    int selected_ = -1;
    int updateDepth_ = 0;
    // The entries [0, orderedPrefix_) are known to be in order; appended entries may stand after.
    int orderedPrefix_ = 0;
};

// RAII for beginUpdate/endUpdate, so a load that fails halfway still ends its bulk update.
class CustomerListUpdate {
public:
    explicit CustomerListUpdate(CustomerList& list) : list_(list) { list_.beginUpdate(); }
    ~CustomerListUpdate() { list_.endUpdate(); }
    CustomerListUpdate(const CustomerListUpdate&) = delete;
    CustomerListUpdate& operator=(const CustomerListUpdate&) = delete;

private:
    CustomerList& list_;
};

} // namespace pyrelto
