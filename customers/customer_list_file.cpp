#include "customer_list_file.h"

#include "customer_file.h"

#include <vector>

namespace pyrelto {

namespace {

void replaceNames(CustomerList& list, const std::vector<std::u16string>& names) {
    CustomerListUpdate update(list);
    list.clear();
    for (const auto& name : names)
        list.setName(list.append(), name);
}

} // namespace

bool CustomerListFile::openfileConfig(std::u16string_view fname) {
    std::optional<std::vector<std::u16string>> names;
    try {
        names = readCustomerFile(fname);
    } catch (const DamagedCustomerFile& e) {
        damaged_ = true;
        if (e.countRead())
            replaceNames(list_, e.namesBefore());
        throw;
    }
    if (!names)
        return false;
    damaged_ = false;
    replaceNames(list_, *names);
    return true;
}

bool CustomerListFile::savefileConfig(std::u16string_view fname) {
    if (!writeCustomerFile(fname, list_.names(), damaged_))
        return false;
    // The damaged file now lies beside the new one; a second save must not replace that copy.
    damaged_ = false;
    return true;
}

} // namespace pyrelto
