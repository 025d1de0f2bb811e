#pragma once
// What the offer dialog chose beyond the register's own columns (the texts, tax case, customer
// kind, building site, period, instalments, signature line and slip), kept with the recorded offer
// so that "PDF erneut erstellen..." makes the offer again as it went out. UTF-8 JSON.

#include "offer.h"

#include <string>
#include <string_view>

namespace pyrelto {

std::string offerParticularsJson(const OfferChoices& choices);

// Sets the particulars of `choices` from `json`; its number, dates and recipient stay as they
// are. Throws std::runtime_error (German) when `json` is no particulars this program wrote;
// `choices` is then unchanged.
void readOfferParticulars(std::string_view json, OfferChoices& choices);

} // namespace pyrelto
