#pragma once
// Under which rule of the VAT law a document charges: the one choice the offer and the invoice
// share.

namespace pyrelto {

enum class TaxCase {
    Normal,        // VAT charged at the positions' rates
    ReverseCharge, // § 13b UStG: the buyer owes the VAT
    SmallBusiness, // § 19 UStG: no VAT shown
};

} // namespace pyrelto
