#include "customer_list_file.h"

#include "customer_file.h"
#include "customer_merge.h"

#include <vector>

namespace pyrelto {

namespace {

void replaceNames(CustomerList& list, std::vector<std::u16string> names) {
    CustomerListUpdate update(list);
    list.assign(std::move(names));
}

} // namespace

bool CustomerListFile::openfileConfig(std::u16string_view fname) {
    std::optional<std::vector<std::u16string>> names;
    try {
        names = readCustomerFile(fname);
    } catch (const DamagedCustomerFile& e) {
        damaged_ = true;
        if (e.countRead()) {
            replaceNames(list_, e.namesBefore());
            loaded_ = e.namesBefore();
        }
        throw;
    }
    if (!names)
        return false;
    damaged_ = false;
    replaceNames(list_, *names);
    loaded_ = std::move(*names);
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
    if (onDisk && !sameCustomerNames(*onDisk, loaded_))
        replaceNames(list_, mergeCustomerNames(loaded_, list_.names(), *onDisk));
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
    loaded_ = list_.names();
    return true;
}

} // namespace pyrelto
