#include "customer_merge.h"
#include "utf16.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pyrelto {
namespace {

using Names = std::vector<std::u16string>;

std::vector<std::string> sortedUtf8(const Names& names) {
    std::vector<std::string> out;
    for (const auto& n : names)
        out.push_back(toUtf8(n));
    std::sort(out.begin(), out.end());
    return out;
}

struct MergeCase {
    const char* what;
    Names base;
    Names ours;
    Names theirs;
    std::vector<std::string> expected; // sorted
};

TEST(CustomerMerge, KeepsAdditionsOfBothSidesAndDeletionsOfEither) {
    const std::vector<MergeCase> cases = {
        {"nothing changed anywhere",
         {u"Abel", u"Meier"},
         {u"Abel", u"Meier"},
         {u"Abel", u"Meier"},
         {"Abel", "Meier"}},
        {"each side added one",
         {u"Abel"},
         {u"Abel", u"Ost"},
         {u"Abel", u"West"},
         {"Abel", "Ost", "West"}},
        {"both started without a file", {}, {u"Ost"}, {u"West"}, {"Ost", "West"}},
        {"deleted here stays deleted although the file still has it",
         {u"Abel", u"Meier"},
         {u"Abel"},
         {u"Abel", u"Meier", u"West"},
         {"Abel", "West"}},
        {"deleted there stays deleted",
         {u"Abel", u"Meier"},
         {u"Abel", u"Meier", u"Ost"},
         {u"Abel"},
         {"Abel", "Ost"}},
        {"renamed there: old name goes, new one comes",
         {u"Abel", u"Maier"},
         {u"Abel", u"Maier"},
         {u"Abel", u"Meier"},
         {"Abel", "Meier"}},
        {"the same name added on both sides counts once", {}, {u"Ost"}, {u"Ost"}, {"Ost"}},
        {"the same entry deleted on both sides counts once",
         {u"Abel", u"Abel"},
         {u"Abel"},
         {u"Abel"},
         {"Abel"}},
        {"a duplicate added here next to their copies",
         {u"Abel"},
         {u"Abel", u"Abel"},
         {u"Abel", u"West"},
         {"Abel", "Abel", "West"}},
        {"their second copy of a name we hold once",
         {},
         {u"Abel"},
         {u"Abel", u"Abel"},
         {"Abel", "Abel"}},
        {"deleted here, another one added there", {u"Abel"}, {}, {u"Abel", u"Abel"}, {"Abel"}},
        {"empty names are names too", {u""}, {u"", u""}, {u""}, {"", ""}},
        {"everything deleted here", {u"Abel", u"Meier"}, {}, {u"Abel", u"Meier"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sortedUtf8(mergeCustomerNames(c.base, c.ours, c.theirs)), c.expected);
    }
}

TEST(CustomerMerge, KeepsOurOrderAndAppendsTheirAdditionsInTheirOrder) {
    const Names base = {u"Meier", u"Abel", u"Zander"};
    const Names ours = {u"Zander", u"Ost", u"Meier", u"Abel"};
    const Names theirs = {u"Süd", u"Abel", u"Nord", u"Zander"}; // deleted Meier
    EXPECT_EQ(mergeCustomerNames(base, ours, theirs),
              (Names{u"Zander", u"Ost", u"Abel", u"Süd", u"Nord"}));
}

TEST(CustomerMerge, SameNamesIgnoresOrderButCountsDuplicates) {
    EXPECT_TRUE(sameCustomerNames(Names{u"A", u"B", u"A"}, Names{u"A", u"A", u"B"}));
    EXPECT_FALSE(sameCustomerNames(Names{u"A", u"B", u"B"}, Names{u"A", u"A", u"B"}));
    EXPECT_FALSE(sameCustomerNames(Names{u"A"}, Names{u"A", u"A"}));
    EXPECT_FALSE(sameCustomerNames(Names{u"a"}, Names{u"A"}));
    EXPECT_TRUE(sameCustomerNames(Names{}, Names{}));
}

} // namespace
} // namespace pyrelto
