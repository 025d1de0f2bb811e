#pragma once
// What the offer needs from outside the sheet, shared by the window and the command-line driver:
// the firm data, the remembered addresses of the customers and the offer register, all in the
// store (services/program_store.h). No widgets here.

#include "calculation_file.h"
#include "offer.h"
#include "store.h"

#include <QDate>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace pyrelto {

class Sheet;

// An IBAN with wrong check digits (typed into the settings by hand, or kept from an older version)
// would send the customer's payment astray, so it is left off the offer: clears `firm.iban` and
// returns the German warning. Empty, and `firm` unchanged, when the IBAN is valid or none is
// stored.
QString dropInvalidIban(FirmData& firm);

// The firm data kept in the store; the texts of terms and closing have their defaults when none
// is stored. Throws StoreError.
FirmData firmDataOf(Store& store);
void storeFirmData(Store& store, const FirmData& firm);

// The address the store remembers for `customer`, empty when there is none.
QString rememberedAddress(Store& store, const QString& customer);

// The choices of a new offer of `sheet`: the customer from the sheet with the address remembered
// for it, a preview of the next number (the number itself is taken only when the offer is
// recorded), `today`, valid for four weeks, and the default texts.
OfferChoices newOfferChoices(const Sheet& sheet, Store& store, const QDate& today);

// What the register keeps of `offer`, made of `sheet` with `extras` after its entries, to go to
// `fileName` (empty when printed). Throws StoreError (Refused) for sums the register cannot keep
// to the cent, IoError for a sheet no calculation file can hold.
OfferEntry registerEntry(const OfferDocument& offer, const Sheet& sheet,
                         const CalculationExtras& extras, const QString& fileName);

// An offer recorded in the register under its number.
struct RecordedOffer {
    std::string number;
    OfferEntry entry;
};

// Sends `offer` out under a number of the register. Unless `recorded` is the same offer (every
// part of the entry but the file name alike), `entry` is recorded first, its number taken in the
// same transaction, and kept in `recorded`; then the number goes into `offer` and `make` writes or
// prints it. Only after `make` returned does the register say the offer went out (to
// `entry.fileName`), and the recipient's address is remembered. When `make` throws, the exception
// passes and `recorded` keeps the offer, recorded but not gone out: a retry of the same offer
// makes it under the same number, as does making it once more after it went out (saved and then
// printed, say).
void issueOffer(Store& store, OfferDocument& offer, const OfferEntry& entry,
                std::optional<RecordedOffer>& recorded,
                const std::function<void(const OfferDocument&)>& make);

} // namespace pyrelto
