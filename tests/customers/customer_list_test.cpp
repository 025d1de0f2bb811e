#include "customer_list.h"
#include "utf16.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace pyrelto {
namespace {

// Writes down every notification as a short word, so a test can compare whole sequences.
class Recorder : public CustomerListObserver {
public:
    std::vector<std::string> events;

    void entryChanged(int i) override { events.push_back("changed " + std::to_string(i)); }
    void aboutToInsert(int) override {}
    void inserted(int i) override { events.push_back("inserted " + std::to_string(i)); }
    void removed(int i) override { events.push_back("removed " + std::to_string(i)); }
    void cleared() override { events.push_back("cleared"); }
    void sorted(std::span<const int>) override { events.push_back("sorted"); }
    void bulkUpdateBegun() override { events.push_back("begin"); }
    void bulkUpdateEnded() override { events.push_back("end"); }
};

std::vector<std::string> namesOf(const CustomerList& list) {
    std::vector<std::string> out;
    for (const auto& n : list.names())
        out.push_back(toUtf8(n));
    return out;
}

void load(CustomerList& list, std::initializer_list<std::u16string_view> names) {
    CustomerListUpdate update(list);
    list.clear();
    for (auto n : names)
        list.setName(list.append(), std::u16string(n));
}

TEST(CustomerListMatch, OnlyAsciiLettersAreUpperCased) {
    struct Row {
        const char* name;
        std::u16string_view entry;
        std::u16string_view text;
        bool match;
    };
    const Row rows[] = {
        {"mü finds Müller", u"Müller", u"mü", true},
        {"MÜ misses Müller: ü is not upper-cased", u"Müller", u"MÜ", false},
        {"EIE finds Meier", u"Meier", u"EIE", true},
        {"lower text, mixed name", u"Meier", u"meier", true},
        {"whole name", u"Abel", u"Abel", true},
        {"text longer than name", u"Abel", u"Abele", false},
        {"not contiguous", u"Meier", u"mer", false},
        {"ß compared unchanged", u"Strauß", u"STRAUß", true},
        {"ß is not SS", u"Strauß", u"STRAUSS", false},
        {"é is not É", u"René", u"RENÉ", false},
        {"digits and blanks as they are", u"Dach 2000 GmbH", u"H 2", true},
        {"empty text matches nothing", u"Meier", u"", false},
        {"empty name matches nothing", u"", u"a", false},
        {"both empty", u"", u"", false},
        {"no mapping beyond z", u"{x}", u"[X]", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CustomerList::matches(r.entry, r.text), r.match);
    }
}

class CustomerSearch : public ::testing::Test {
protected:
    void SetUp() override {
        load(list, {u"Abel", u"Meier", u"Müller", u"Obermeier", u"", u"Zeiler"});
        list.addObserver(&recorder);
        ASSERT_EQ(namesOf(list),
                  (std::vector<std::string>{"", "Abel", "Meier", "Müller", "Obermeier", "Zeiler"}));
    }
    CustomerList list;
    Recorder recorder;
};

TEST_F(CustomerSearch, SuchenAlwaysStartsAtTheTop) {
    EXPECT_EQ(list.searchFirst(u"EIE"), 2);
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(list.searchFirst(u"EIE"), 2) << "the selected entry is found again";
    list.select(4);
    EXPECT_EQ(list.searchFirst(u"eie"), 2);
    EXPECT_EQ(list.selected(), 2);
}

TEST_F(CustomerSearch, WeiterSuchenVisitsEveryMatchAndStaysOnTheLast) {
    std::vector<int> visited;
    for (int i = 0; i < 5; ++i) {
        list.searchNext(u"eI");
        visited.push_back(list.selected());
    }
    EXPECT_EQ(visited, (std::vector<int>{2, 4, 5, 5, 5}));
}

TEST_F(CustomerSearch, WeiterSuchenWithoutSelectionIsSuchen) {
    ASSERT_EQ(list.selected(), -1);
    EXPECT_EQ(list.searchNext(u"mü"), 3);
}

TEST_F(CustomerSearch, WeiterSuchenStartsAfterAHandMadeSelection) {
    list.select(3);
    EXPECT_EQ(list.searchNext(u"EI"), 4);
    list.select(0);
    EXPECT_EQ(list.searchNext(u"EI"), 2);
}

TEST_F(CustomerSearch, NoMatchChangesNothing) {
    list.select(3);
    recorder.events.clear();
    EXPECT_EQ(list.searchFirst(u"MÜ"), -1);
    EXPECT_EQ(list.searchNext(u""), -1);
    EXPECT_EQ(list.searchNext(u"Abel"), -1) << "no wrap to the top";
    EXPECT_EQ(list.selected(), 3);
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(CustomerSearch, AMatchMovesTheOneSelectionAndNotifiesBothEntries) {
    list.select(1);
    recorder.events.clear();
    list.searchFirst(u"Zei");
    EXPECT_EQ(list.selected(), 5);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 1", "changed 5"}));
}

TEST(CustomerList, BulkUpdateSortsOnceWhenItEnds) {
    CustomerList list;
    Recorder recorder;
    list.addObserver(&recorder);
    list.beginUpdate();
    list.clear();
    for (auto n : {u"Zeiler", u"Abel", u"Meier"})
        list.setName(list.append(), n);
    list.beginUpdate(); // nested: only the outermost end sorts
    list.setName(list.append(), u"Baum");
    list.endUpdate();
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Zeiler", "Abel", "Meier", "Baum"}));
    list.endUpdate();
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Abel", "Baum", "Meier", "Zeiler"}));
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"begin", "cleared", "inserted 0", "changed 0", "inserted 1",
                                        "changed 1", "inserted 2", "changed 2", "inserted 3",
                                        "changed 3", "sorted", "end"}));
}

TEST(CustomerList, BulkUpdateEndsAndSortsWhenALoadFailsHalfway) {
    CustomerList list;
    try {
        CustomerListUpdate update(list);
        list.setName(list.append(), u"Zeiler");
        list.setName(list.append(), u"Abel");
        throw std::runtime_error("Read beyond end of file");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(list.updating());
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Abel", "Zeiler"}));
}

TEST(CustomerList, RenamingMovesTheEntryAndItsSelection) {
    CustomerList list;
    load(list, {u"Abel", u"Meier", u"Müller"});
    list.select(0);
    Recorder recorder;
    list.addObserver(&recorder);
    EXPECT_EQ(list.setName(0, u"Schulz"), 2);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Meier", "Müller", "Schulz"}));
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 0", "sorted"}));

    recorder.events.clear();
    EXPECT_EQ(list.setName(2, u"Schulz"), 2);
    EXPECT_EQ(list.setName(1, u"Nagel"), 1) << "already in place";
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 1"}))
        << "an unchanged name tells nobody; a rename that moves nothing does not sort";
}

TEST(CustomerList, NewEntryStaysEmptyAndUnsortedAtTheEnd) {
    CustomerList list;
    load(list, {u"Abel", u"Meier"});
    Recorder recorder;
    list.addObserver(&recorder);
    const int added = list.append();
    EXPECT_EQ(added, 2);
    EXPECT_EQ(list.setName(added, u""), 2) << "accepting an empty edit changes nothing";
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Abel", "Meier", ""}));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"inserted 2"}));
    EXPECT_FALSE(list.isSorted());

    // The next real rename sorts the whole list, the empty name included.
    list.setName(0, u"Zeiler");
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"", "Meier", "Zeiler"}));
}

// A rename places the one entry by binary search instead of sorting the whole list. Whatever the
// mix of renames, new entries (named or left empty), deletes and ties, the list must come out
// exactly as a full stable sort leaves it, with the selection on the same entry.
TEST(CustomerList, PlacingOneEntryEqualsAFullStableSort) {
    // Case-blind, so "meier" and "Meier" tie and their order shows whether ties stay stable.
    const auto caseBlind = [](std::u16string_view a, std::u16string_view b) {
        const auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        };
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            if (lower(a[i]) != lower(b[i]))
                return lower(a[i]) < lower(b[i]) ? -1 : 1;
        }
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    };
    const std::u16string pool[] = {u"",      u"Abel",  u"abel", u"Meier", u"meier", u"MEIER",
                                   u"Meyer", u"Bauer", u"Zorn", u"zorn",  u"Öz"};
    struct Entry {
        std::u16string name;
        bool selected;
    };
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        CustomerList list(caseBlind);
        std::vector<Entry> reference;
        const auto sortReference = [&] {
            std::stable_sort(reference.begin(), reference.end(), [&](const auto& a, const auto& b) {
                return caseBlind(a.name, b.name) < 0;
            });
        };
        for (int step = 0; step < 60; ++step) {
            const int n = list.count();
            const int pick = n > 0 ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0;
            const std::u16string& name = pool[rng() % std::size(pool)];
            switch (rng() % 6) {
            case 0: // "Neuer Kunde", sometimes left empty
                list.append();
                reference.push_back({u"", false});
                if (rng() % 3 != 0) {
                    list.setName(n, name);
                    reference.back().name = name;
                    if (name != u"")
                        sortReference();
                }
                break;
            case 1:
                if (n > 0) {
                    list.remove(pick);
                    reference.erase(reference.begin() + pick);
                }
                break;
            case 2:
                if (n > 0) {
                    list.select(pick);
                    for (int i = 0; i < n; ++i)
                        reference[static_cast<std::size_t>(i)].selected = i == pick;
                }
                break;
            default: // a rename
                if (n > 0) {
                    const int at = list.setName(pick, name);
                    if (reference[static_cast<std::size_t>(pick)].name != name) {
                        reference[static_cast<std::size_t>(pick)].name = name;
                        sortReference();
                    }
                    ASSERT_EQ(list.name(at), name);
                }
                break;
            }
            ASSERT_EQ(static_cast<std::size_t>(list.count()), reference.size());
            int selected = -1;
            for (std::size_t i = 0; i < reference.size(); ++i) {
                ASSERT_EQ(toUtf8(list.name(static_cast<int>(i))), toUtf8(reference[i].name))
                    << "entry " << i << " after step " << step;
                if (reference[i].selected)
                    selected = static_cast<int>(i);
            }
            ASSERT_EQ(list.selected(), selected) << "after step " << step;
        }
    }
}

TEST(CustomerList, RenameTellsOneSortWithWhereEveryEntryWent) {
    CustomerList list;
    load(list, {u"Abel", u"Bauer", u"Meier", u"Zorn"});
    struct Moves : CustomerListObserver {
        std::vector<std::vector<int>> sorts;
        void sorted(std::span<const int> newIndexOf) override {
            sorts.emplace_back(newIndexOf.begin(), newIndexOf.end());
        }
    } moves;
    list.addObserver(&moves);
    EXPECT_EQ(list.setName(3, u"Baum"), 2);
    EXPECT_EQ(list.setName(0, u"Zander"), 3);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Bauer", "Baum", "Meier", "Zander"}));
    EXPECT_EQ(moves.sorts, (std::vector<std::vector<int>>{{0, 1, 3, 2}, {3, 0, 1, 2}}));
    list.removeObserver(&moves);
}

TEST(CustomerList, AssignReplacesEverythingInOneNotification) {
    CustomerList list;
    load(list, {u"Abel", u"Meier"});
    list.select(1);
    Recorder recorder;
    list.addObserver(&recorder);
    list.assign({u"Zorn", u"", u"Bauer", u"Zorn"});
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"", "Bauer", "Zorn", "Zorn"}));
    EXPECT_EQ(list.selected(), -1);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"cleared", "sorted"}));

    // Inside a bulk update the sort waits for its end, as for names set one by one.
    recorder.events.clear();
    {
        CustomerListUpdate update(list);
        list.assign({u"b", u"a"});
        EXPECT_EQ(namesOf(list), (std::vector<std::string>{"b", "a"}));
    }
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"begin", "cleared", "sorted", "end"}));
    // Renaming after a load places the entry without a full sort: the order is known again.
    EXPECT_EQ(list.setName(0, u"c"), 1);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"b", "c"}));
}

TEST(CustomerList, DuplicatesAndEmptyNamesAreKept) {
    CustomerList list;
    load(list, {u"Meier", u"", u"Meier", u""});
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"", "", "Meier", "Meier"}));
}

TEST(CustomerList, RemoveKeepsTheSelectionOnItsEntry) {
    CustomerList list;
    load(list, {u"Abel", u"Meier", u"Müller"});
    list.select(2);
    list.remove(0);
    EXPECT_EQ(list.selected(), 1);
    EXPECT_EQ(list.name(1), u"Müller");
    list.remove(1);
    EXPECT_EQ(list.selected(), -1);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Meier"}));
    list.select(0);
    list.clear();
    EXPECT_EQ(list.selected(), -1);
    EXPECT_EQ(list.count(), 0);
}

TEST(CustomerList, SortsByTheInjectedComparisonAndKeepsTiesInOrder) {
    // Orders by length only, so names of equal length compare equal.
    CustomerList list([](std::u16string_view a, std::u16string_view b) {
        return static_cast<int>(a.size()) - static_cast<int>(b.size());
    });
    load(list, {u"ccc", u"bb", u"aaa", u"d", u"ee"});
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"d", "bb", "ee", "ccc", "aaa"}));
    list.setCompare([](std::u16string_view a, std::u16string_view b) { return b.compare(a); });
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"ee", "d", "ccc", "bb", "aaa"}));
}

TEST(CustomerList, BadIndexesThrowAndChangeNothing) {
    CustomerList list;
    load(list, {u"Abel"});
    EXPECT_THROW(list.name(1), std::out_of_range);
    EXPECT_THROW(list.setName(-1, u"x"), std::out_of_range);
    EXPECT_THROW(list.remove(1), std::out_of_range);
    EXPECT_THROW(list.select(-2), std::out_of_range);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"Abel"}));
}

} // namespace
} // namespace pyrelto
