#pragma once
// What the offer needs from outside the sheet, shared by the window and the command-line driver:
// the firm data and the offer counter in the user's settings (groups of their own beside the
// window's) and the remembered addresses of the customers. No widgets here.

#include "offer.h"
#include "settings_store.h"

#include <QDate>
#include <QString>
#include <memory>

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

} // namespace pyrelto
