#pragma once
// Another copy of the program (a second machine on a shared home folder, or a copy started before
// the single-instance hand-over existed) may write the customer list while this one runs. Writing
// our list over theirs would drop their new customers without a word, so at close the list is
// merged with the file's current names against the names both started from.

#include <span>
#include <string>
#include <vector>

namespace pyrelto {

// A three-way merge of name lists, counted per name (the list allows duplicates):
// `base` is what this copy loaded, `ours` what it holds now, `theirs` what the file holds now.
// Each side's additions survive and each side's deletions stay deleted. When both sides add the
// same name, or both delete it, that counts once: for each name the result holds
//   base - (the larger deletion of one side) + (the larger addition of one side).
// The order is ours, less the entries the other side deleted, then the names added on the other
// side in their order; the list sorts itself anyway.
std::vector<std::u16string> mergeCustomerNames(std::span<const std::u16string> base,
                                               std::span<const std::u16string> ours,
                                               std::span<const std::u16string> theirs);

// The same names the same number of times, in any order.
bool sameCustomerNames(std::span<const std::u16string> a, std::span<const std::u16string> b);

} // namespace pyrelto
