#pragma once
// openfileConfig and savefileConfig of the main window: the customer list read from and written
// to its file "options.dat". Neither shows a message of its own; a file that cannot be opened is
// passed over, one that cannot be created is told to the caller, and a transfer failure is thrown
// for the standard error report.

#include "customer_list.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// Names kept as one block of text, each behind its length: what a long list was when it was read,
// at a fraction of the memory and the time of a second vector of strings.
class PackedCustomerNames {
public:
    PackedCustomerNames() = default;
    explicit PackedCustomerNames(std::span<const std::u16string> names);

    std::vector<std::u16string> unpack() const;
    // The same names in the same order.
    bool sameInOrder(std::span<const std::u16string> names) const;
    bool empty() const noexcept { return count_ == 0; }

private:
    std::u16string text_;
    std::size_t count_ = 0;
};

class CustomerListFile {
public:
    explicit CustomerListFile(CustomerList& list) : list_(list) {}

    // Replaces the entries by the names in `fname`, inside one bulk update, so the list comes out
    // sorted. False, with the list unchanged, when the file cannot be opened. True when every name
    // was read: the caller then runs the count rules. A damaged file throws IoError: when its count
    // could be read, the names read before the failure are in the list (sorted, as after a
    // complete load), otherwise the list is unchanged; either way savefileConfig will keep that
    // file aside instead of overwriting it.
    bool openfileConfig(std::u16string_view fname);

    // Writes every entry in list order, replacing `fname` only once the new file is complete.
    // When another copy of the program changed the file since it was read, its names are merged
    // in first (mergeCustomerNames), and the list shows the merged names. False when the file
    // cannot be created; lostChanges() then tells whether that costs the user anything. Throws
    // IoError for a failed transfer; the old file is then as it was.
    bool savefileConfig(std::u16string_view fname);

    // The last save could not create the file, and the file does not already hold the list's
    // names: the user's changes of this run are not stored.
    bool lostChanges() const noexcept { return lostChanges_; }

    // The last file read was damaged.
    bool damaged() const noexcept { return damaged_; }

private:
    CustomerList& list_;
    bool damaged_ = false;
    bool lostChanges_ = false;
    // The names the file held when it was read: what a later change on disk is measured against.
    PackedCustomerNames loaded_;
};

} // namespace pyrelto
