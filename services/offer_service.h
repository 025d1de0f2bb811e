#pragma once
// What the offer needs from outside the sheet, shared by the window and the command-line driver:
// the firm data and the offer counter in the user's settings (groups of their own beside the
// window's) and the remembered addresses of the customers. No widgets here.

#include "calculation_file.h"
#include "offer.h"
#include "settings_store.h"
#include "store.h"

#include <QDate>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace pyrelto {

class Sheet;

// The settings groups of the firm data and of the offer counter.
inline constexpr auto kFirmDataGroup = u"Firmendaten";
inline constexpr auto kOfferGroup = u"Angebote";

// The stored firm data; the texts of terms and closing have their defaults when none is stored.
FirmData readFirmData(const SettingsStore& store);
// False when the store refused a value or could not make them durable.
bool writeFirmData(SettingsStore& store, const FirmData& firm);
// An IBAN with wrong check digits (typed into the settings by hand, or kept from an older version)
// would send the customer's payment astray, so it is left off the offer: clears `firm.iban` and
// returns the German warning. Empty, and `firm` unchanged, when the IBAN is valid or none is
// stored.
QString dropInvalidIban(FirmData& firm);

// The number the next offer gets: the last one counted up ("2026-014" → "2026-015"), the first of
// the year when the year has changed ("2027-001"), a number typed in another form counted up at
// its end ("A-17" → "A-18").
QString nextOfferNumber(const SettingsStore& store, const QDate& today);
// Remembers `number` as the last one used; false when it could not be stored.
bool recordOfferNumber(SettingsStore& store, const QString& number);

// The address remembered for `customer`, empty when there is none. A damaged address file throws
// IoError.
QString rememberedAddress(const QString& customer);
// Remembers `address` for `customer` (an empty address forgets it). Throws IoError when the file
// cannot be written; a damaged file is kept aside as "adressen.dat.bak".
void rememberAddress(const QString& customer, const QString& address);

// The choices of a new offer of `sheet`: the customer from the sheet with the address remembered
// for it, the next number, `today`, valid for four weeks, and the default texts.
OfferChoices newOfferChoices(const Sheet& sheet, const SettingsStore& counter, const QDate& today);

// An offer went out (saved or printed): its number is counted and the recipient's address
// remembered. Throws IoError when the address file cannot be written.
void offerIssued(const OfferDocument& offer, SettingsStore& counter);

// The firm data kept in the store; the texts of terms and closing have their defaults when none
// is stored. Throws StoreError.
FirmData firmDataOf(Store& store);
void storeFirmData(Store& store, const FirmData& firm);

// The address the store remembers for `customer`, empty when there is none.
QString rememberedAddress(Store& store, const QString& customer);

// The choices of a new offer of `sheet` as above, the address and a preview of the next number
// from the store: the number itself is taken only when the offer is recorded.
OfferChoices newOfferChoices(const Sheet& sheet, Store& store, const QDate& today);

// What the register keeps of `offer`, made of `sheet` with `extras` after its entries, to go to
// `fileName` (empty when printed). Throws StoreError (Refused) for sums the register cannot keep
// to the cent, IoError for a sheet no calculation file can hold.
OfferEntry registerEntry(const OfferDocument& offer, const Sheet& sheet,
                         const CalculationExtras& extras, const QString& fileName);

// An offer recorded in the register that has not gone out yet.
struct RecordedOffer {
    std::string number;
    OfferEntry entry;
};

// Sends `offer` out under a number of the register. Unless `pending` is the same offer (every
// part of the entry but the file name), `entry` is recorded first, its number taken in the same
// transaction, and kept in `pending`; then the number goes into `offer` and `make` writes or
// prints it. Only after `make` returned does the register say the offer went out, and the
// recipient's address is remembered; `pending` is then empty. When `make` throws, the exception
// passes and `pending` keeps the recorded offer, so that a retry makes it under the same number.
void issueOffer(Store& store, OfferDocument& offer, const OfferEntry& entry,
                std::optional<RecordedOffer>& pending,
                const std::function<void(const OfferDocument&)>& make);

} // namespace pyrelto
