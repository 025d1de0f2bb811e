#pragma once
// The table of invoices every e-invoice check runs over: each tax case, each kind, and texts that
// try to break the XML. Shared by the unit tests and the generator the validator leg runs.

#include "invoice.h"

#include <string>
#include <vector>

namespace pyrelto {

struct SampleInvoice {
    std::string name; // file name stem, unique
    Invoice invoice;
};

// A complete invoice to a business customer: two positions at 19 %.
Invoice sampleInvoice();

std::vector<SampleInvoice> sampleInvoices();

} // namespace pyrelto
