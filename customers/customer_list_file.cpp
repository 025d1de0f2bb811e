#include "customer_list_file.h"

#include "customer_file.h"
#include "customer_merge.h"

#include <cstdint>
#include <vector>

namespace pyrelto {

namespace {

void replaceNames(CustomerList& list, std::vector<std::u16string> names) {
    CustomerListUpdate update(list);
    list.assign(std::move(names));
}

} // namespace

// Each name's length goes in two code units, high half first; a name is never longer than the
// file's text limit, but the packing does not rely on it.
PackedCustomerNames::PackedCustomerNames(std::span<const std::u16string> names)
    : count_(names.size()) {
    std::size_t units = 0;
    for (const auto& name : names)
        units += 2 + name.size();
    text_.reserve(units);
    for (const auto& name : names) {
        const auto size = static_cast<std::uint32_t>(name.size());
        text_.push_back(static_cast<char16_t>(size >> 16));
        text_.push_back(static_cast<char16_t>(size & 0xFFFF));
        text_.append(name);
    }
}

std::vector<std::u16string> PackedCustomerNames::unpack() const {
    std::vector<std::u16string> names;
    names.reserve(count_);
    for (std::size_t at = 0; at < text_.size();) {
        const std::size_t size = (std::size_t{text_[at]} << 16) | text_[at + 1];
        names.emplace_back(text_, at + 2, size);
        at += 2 + size;
    }
    return names;
}

bool PackedCustomerNames::sameInOrder(std::span<const std::u16string> names) const {
    if (names.size() != count_)
        return false;
    std::size_t at = 0;
    for (const auto& name : names) {
        const std::size_t size = (std::size_t{text_[at]} << 16) | text_[at + 1];
        if (size != name.size() || text_.compare(at + 2, size, name) != 0)
            return false;
        at += 2 + size;
    }
    return true;
}

bool CustomerListFile::openfileConfig(std::u16string_view fname) {
    std::optional<std::vector<std::u16string>> names;
    try {
        names = readCustomerFile(fname);
    } catch (const DamagedCustomerFile& e) {
        damaged_ = true;
        if (e.countRead()) {
            replaceNames(list_, e.namesBefore());
            loaded_ = PackedCustomerNames(e.namesBefore());
        }
        throw;
    }
    if (!names)
        return false;
    damaged_ = false;
    loaded_ = PackedCustomerNames(*names);
    replaceNames(list_, std::move(*names));
    return true;
}

bool CustomerListFile::savefileConfig(std::u16string_view fname) {
    lostChanges_ = false;
    std::optional<std::vector<std::u16string>> onDisk;
    bool damagedOnDisk = false;
    try {
        onDisk = readCustomerFile(fname);
    } catch (const IoError&) {
        // Damaged now, whoever wrote it: kept aside below, and there is nothing to merge.
        damagedOnDisk = true;
    }
    // Unchanged on disk is the rule, and is seen without unpacking what was read.
    if (onDisk && !loaded_.sameInOrder(*onDisk)) {
        const std::vector<std::u16string> loaded = loaded_.unpack();
        if (!sameCustomerNames(*onDisk, loaded))
            replaceNames(list_, mergeCustomerNames(loaded, list_.names(), *onDisk));
    }
    // A damaged file read at start that another copy has since replaced by a sound one is gone;
    // there is nothing left to keep aside.
    const bool keepAside = onDisk ? false : damagedOnDisk || damaged_;

    if (!writeCustomerFile(fname, list_.names(), keepAside)) {
        const bool sameAsFile = onDisk ? sameCustomerNames(*onDisk, list_.names())
                                       : !damagedOnDisk && loaded_.empty() && list_.count() == 0;
        lostChanges_ = !sameAsFile;
        return false;
    }
    // The damaged file now lies beside the new one; a second save must not replace that copy.
    damaged_ = false;
    loaded_ = PackedCustomerNames(list_.names());
    return true;
}

} // namespace pyrelto
