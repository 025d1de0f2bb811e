#pragma once
// The invoice as data, as the register keeps it beside the documents made from it: the record
// from which a credit note repeats the original's lines and a final invoice learns what was
// charged before. UTF-8 JSON; every amount in whole cents.

#include "invoice.h"

#include <string>
#include <string_view>

namespace pyrelto {

std::string invoiceDataJson(const Invoice& invoice);

// Throws std::runtime_error (German) when `json` is no invoice this program wrote.
Invoice invoiceFromData(std::string_view json);

} // namespace pyrelto
