#include "offer_service.h"

#include "customer_address_file.h"
#include "customer_file.h"
#include "field_catalogue.h"
#include "firm_data.h"
#include "money.h"
#include "qt_date.h"
#include "qt_text.h"
#include "settings_store.h"
#include "sheet.h"

#include <QRegularExpression>
#include <array>

namespace pyrelto {

namespace {

// The stored names of the firm data, each with the member it fills.
struct FirmValue {
    std::u16string_view name;
    std::u16string FirmData::*member;
};
constexpr std::array<FirmValue, 14> kFirmValues{{
    {u"Firma", &FirmData::name},
    {u"Ansprechpartner", &FirmData::contact},
    {u"Strasse", &FirmData::street},
    {u"PlzOrt", &FirmData::postcodeTown},
    {u"Telefon", &FirmData::phone},
    {u"EMail", &FirmData::email},
    {u"Web", &FirmData::web},
    {u"SteuerNr", &FirmData::taxId},
    {u"Kontoinhaber", &FirmData::accountHolder},
    {u"IBAN", &FirmData::iban},
    {u"BIC", &FirmData::bic},
    {u"Logo", &FirmData::logoPath},
    {u"Zahlungsbedingungen", &FirmData::paymentTerms},
    {u"Schlusstext", &FirmData::closingText},
}};

constexpr std::u16string_view kLastNumber = u"LetzteNummer";

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string isoDate(Date date) {
    return toQDate(date).toString(Qt::ISODate).toStdString();
}

// The whole cents of a sum the sheet shows.
std::int64_t cents(const Sheet& sheet, FieldId field) {
    const auto money = Money::parse(sheet.shownText(field), sheet.numberFormat());
    if (!money)
        throw StoreError(StoreError::Kind::Refused,
                         "Die Summen des Angebots sind zu groß für das Angebotsbuch.");
    return money->cents();
}

QString addressFileName(bool create) {
    return QString::fromStdU16String(GetProgramDir(create) +
                                     std::u16string(kCustomerAddressFileName));
}

} // namespace

FirmData readFirmData(const SettingsStore& store) {
    FirmData firm;
    for (const FirmValue& value : kFirmValues)
        if (const auto text = store.readString(value.name))
            firm.*value.member = *text;
    // Not stored yet: the texts a contractor starts from.
    if (store.kind(u"Zahlungsbedingungen") == SettingsStore::ValueKind::Missing)
        firm.paymentTerms = FirmData::defaultPaymentTerms();
    if (store.kind(u"Schlusstext") == SettingsStore::ValueKind::Missing)
        firm.closingText = FirmData::defaultClosingText();
    return firm;
}

bool writeFirmData(SettingsStore& store, const FirmData& firm) {
    bool written = true;
    for (const FirmValue& value : kFirmValues)
        written = store.writeString(value.name, firm.*value.member) && written;
    return store.commit() && written;
}

QString dropInvalidIban(FirmData& firm) {
    if (firm.iban.empty())
        return {};
    const std::u16string problem = ibanProblem(firm.iban);
    if (problem.empty())
        return {};
    firm.iban.clear();
    return QStringLiteral("Die gespeicherte IBAN der Firmendaten ist ungültig: %1 Das Angebot wird "
                          "ohne IBAN erstellt; bitte unter „Firmendaten...“ korrigieren.")
        .arg(toQString(problem));
}

QString nextOfferNumber(const SettingsStore& store, const QDate& today) {
    const QString year = QString::number(today.year());
    QString first = year + QStringLiteral("-001");
    const auto last = store.readString(kLastNumber);
    if (!last)
        return first;
    const QString text = QString::fromStdU16String(*last).trimmed();
    const auto yearly = QRegularExpression(QStringLiteral("^(\\d{4})-(\\d{1,9})$")).match(text);
    if (yearly.hasMatch() && yearly.captured(1) != year)
        return first;
    // All the digits at the end, counted up as text: a number of any length goes on in its own
    // width ("A-0099" → "A-0100") and only grows when it must ("A-999" → "A-1000"), where a
    // machine integer would overflow or split a long run of digits.
    const auto counted = QRegularExpression(QStringLiteral("^(.*?)(\\d+)$")).match(text);
    if (!counted.hasMatch())
        return first;
    QString digits = counted.captured(2);
    qsizetype at = digits.size();
    while (at > 0 && digits.at(at - 1) == QLatin1Char('9'))
        digits[--at] = QLatin1Char('0');
    if (at == 0)
        digits.prepend(QLatin1Char('1'));
    else
        digits[at - 1] = QChar(digits.at(at - 1).unicode() + 1);
    return counted.captured(1) + digits;
}

bool recordOfferNumber(SettingsStore& store, const QString& number) {
    const bool written = store.writeString(kLastNumber, number.trimmed().toStdU16String());
    return store.commit() && written;
}

QString rememberedAddress(const QString& customer) {
    const auto addresses = readCustomerAddresses(addressFileName(false).toStdU16String());
    if (!addresses)
        return {};
    const auto it = addresses->find(customer.trimmed().toStdU16String());
    return it == addresses->end() ? QString() : QString::fromStdU16String(it->second);
}

void rememberAddress(const QString& customer, const QString& address) {
    const QString name = customer.trimmed();
    if (name.isEmpty())
        return;
    const std::u16string file = addressFileName(true).toStdU16String();
    CustomerAddresses addresses;
    bool damaged = false;
    try {
        if (auto read = readCustomerAddresses(file))
            addresses = std::move(*read);
    } catch (const IoError&) {
        damaged = true;
    }
    const QString trimmed = address.trimmed();
    const auto it = addresses.find(name.toStdU16String());
    if (trimmed.isEmpty() ? it == addresses.end()
                          : it != addresses.end() && it->second == trimmed.toStdU16String())
        return;
    if (trimmed.isEmpty())
        addresses.erase(it);
    else
        addresses.insert_or_assign(name.toStdU16String(), trimmed.toStdU16String());
    if (!writeCustomerAddresses(file, addresses, damaged))
        throw IoError::damaged("Die Adressdatei konnte nicht angelegt werden");
}

OfferChoices newOfferChoices(const Sheet& sheet, const SettingsStore& counter, const QDate& today) {
    OfferChoices choices;
    choices.number = nextOfferNumber(counter, today).toStdU16String();
    choices.date = toDate(today);
    choices.validUntil = toDate(today.addDays(28));
    const QString recipient = toQString(sheet.shownText(FieldId::KundeEd)).trimmed();
    choices.recipientName = recipient.toStdU16String();
    try {
        choices.recipientAddress = rememberedAddress(recipient).toStdU16String();
    } catch (const IoError&) {
        // A damaged address file leaves the address to be typed; writing it later keeps the
        // damaged file aside.
    }
    choices.subject = OfferChoices::defaultSubject();
    choices.introduction = OfferChoices::defaultIntroduction();
    choices.workTitle = OfferChoices::defaultWorkTitle();
    return choices;
}

void offerIssued(const OfferDocument& offer, SettingsStore& counter) {
    if (!recordOfferNumber(counter, toQString(offer.choices.number)))
        throw IoError::damaged("Die Angebotsnummer konnte nicht gespeichert werden");
    rememberAddress(toQString(offer.choices.recipientName),
                    toQString(offer.choices.recipientAddress));
}

FirmData firmDataOf(Store& store) {
    const FirmValues values = store.firmData();
    FirmData firm;
    for (const FirmValue& value : kFirmValues)
        if (const auto it = values.find(utf8(toQString(value.name))); it != values.end())
            firm.*value.member = fromUtf8(it->second).toStdU16String();
    // Not stored yet: the texts a contractor starts from.
    if (!values.contains("Zahlungsbedingungen"))
        firm.paymentTerms = FirmData::defaultPaymentTerms();
    if (!values.contains("Schlusstext"))
        firm.closingText = FirmData::defaultClosingText();
    return firm;
}

void storeFirmData(Store& store, const FirmData& firm) {
    FirmValues values;
    for (const FirmValue& value : kFirmValues)
        values.emplace(utf8(toQString(value.name)), utf8(toQString(firm.*value.member)));
    store.setFirmData(values);
}

QString rememberedAddress(Store& store, const QString& customer) {
    const QString name = customer.trimmed();
    if (name.isEmpty())
        return {};
    return fromUtf8(store.address(utf8(name)).value_or(std::string()));
}

OfferChoices newOfferChoices(const Sheet& sheet, Store& store, const QDate& today) {
    OfferChoices choices;
    choices.number = fromUtf8(store.peekNumber(kOfferCounter, today.year())).toStdU16String();
    choices.date = toDate(today);
    choices.validUntil = toDate(today.addDays(28));
    const QString recipient = toQString(sheet.shownText(FieldId::KundeEd)).trimmed();
    choices.recipientName = recipient.toStdU16String();
    choices.recipientAddress = rememberedAddress(store, recipient).toStdU16String();
    choices.subject = OfferChoices::defaultSubject();
    choices.introduction = OfferChoices::defaultIntroduction();
    choices.workTitle = OfferChoices::defaultWorkTitle();
    return choices;
}

OfferEntry registerEntry(const OfferDocument& offer, const Sheet& sheet,
                         const CalculationExtras& extras, const QString& fileName) {
    OfferEntry entry;
    entry.date = isoDate(offer.choices.date);
    entry.validUntil = isoDate(offer.choices.validUntil);
    entry.customer = utf8(toQString(offer.choices.recipientName).trimmed());
    entry.address = utf8(toQString(offer.choices.recipientAddress).trimmed());
    entry.netCents = cents(sheet, FieldId::Summe15Ed);
    entry.grossCents = cents(sheet, FieldId::BruttoEd);
    // As the offer shows it: the difference, so that the three always add up.
    entry.vatCents = entry.grossCents - entry.netCents;
    entry.fileName = utf8(fileName);
    const std::vector<std::byte> bytes = calculationBytes(sheet, extras);
    entry.calculation.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return entry;
}

namespace {

bool sameOffer(const OfferEntry& a, const OfferEntry& b) {
    return a.date == b.date && a.validUntil == b.validUntil && a.customer == b.customer &&
           a.address == b.address && a.netCents == b.netCents && a.vatCents == b.vatCents &&
           a.grossCents == b.grossCents && a.calculation == b.calculation;
}

} // namespace

void issueOffer(Store& store, OfferDocument& offer, const OfferEntry& entry,
                std::optional<RecordedOffer>& pending,
                const std::function<void(const OfferDocument&)>& make) {
    if (!pending || !sameOffer(pending->entry, entry))
        pending = RecordedOffer{store.recordOffer(entry), entry};
    offer.choices.number = fromUtf8(pending->number).toStdU16String();
    make(offer);
    store.markPdfWritten(pending->number, entry.fileName);
    pending.reset();
    // As the address file did: the address an offer went out with, none forgetting the old one.
    if (!entry.customer.empty() &&
        store.address(entry.customer).value_or(std::string()) != entry.address)
        store.setAddress(entry.customer, entry.address);
}

} // namespace pyrelto
