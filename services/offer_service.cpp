#include "offer_service.h"

#include "field_catalogue.h"
#include "firm_data.h"
#include "money.h"
#include "offer_particulars.h"
#include "qt_date.h"
#include "qt_text.h"
#include "sheet.h"

#include <array>

namespace pyrelto {

namespace {

// The stored names of the firm data (those of the old settings group), each with the member it
// fills.
struct FirmValue {
    std::u16string_view name;
    std::u16string FirmData::*member;
};
// Values added later are simply absent from older stores and read as empty.
constexpr std::array<FirmValue, 21> kFirmValues{{
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
    {u"SkontoProzent", &FirmData::skontoPercent},
    {u"SkontoTage", &FirmData::skontoDays},
    {u"Rechtsform", &FirmData::legalForm},
    {u"Sitz", &FirmData::registeredSeat},
    {u"Registergericht", &FirmData::registerCourt},
    {u"Registernummer", &FirmData::registerNumber},
    {u"Geschaeftsfuehrer", &FirmData::managingDirector},
}};
constexpr std::string_view kContractBasis = "Vertragsgrundlage";

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

} // namespace

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
    if (const auto it = values.find(kContractBasis); it != values.end())
        firm.contractBasis = contractBasisFromText(fromUtf8(it->second).toStdU16String());
    return firm;
}

void storeFirmData(Store& store, const FirmData& firm) {
    FirmValues values;
    for (const FirmValue& value : kFirmValues)
        values.emplace(utf8(toQString(value.name)), utf8(toQString(firm.*value.member)));
    values.emplace(kContractBasis, utf8(toQString(contractBasisText(firm.contractBasis))));
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
    // As the offer shows it: the difference, so that the three always add up; an offer under
    // § 13b or § 19 UStG charges no VAT, and the register must not claim any.
    entry.grossCents =
        offer.choices.taxCase == TaxCase::Normal ? cents(sheet, FieldId::BruttoEd) : entry.netCents;
    entry.vatCents = entry.grossCents - entry.netCents;
    entry.fileName = utf8(fileName);
    if (offer.choices.period.from.isSet())
        entry.workFrom = isoDate(offer.choices.period.from);
    if (offer.choices.period.until.isSet())
        entry.workUntil = isoDate(offer.choices.period.until);
    entry.particulars = offerParticularsJson(offer.choices);
    const std::vector<std::byte> bytes = calculationBytes(sheet, extras);
    entry.calculation.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return entry;
}

namespace {

bool sameOffer(const OfferEntry& a, const OfferEntry& b) {
    return a.date == b.date && a.validUntil == b.validUntil && a.customer == b.customer &&
           a.address == b.address && a.netCents == b.netCents && a.vatCents == b.vatCents &&
           a.grossCents == b.grossCents && a.calculation == b.calculation &&
           a.workFrom == b.workFrom && a.workUntil == b.workUntil && a.particulars == b.particulars;
}

} // namespace

void issueOffer(Store& store, OfferDocument& offer, const OfferEntry& entry,
                std::optional<RecordedOffer>& recorded,
                const std::function<void(const OfferDocument&)>& make) {
    if (!recorded || !sameOffer(recorded->entry, entry))
        recorded = RecordedOffer{store.recordOffer(entry), entry};
    offer.choices.number = fromUtf8(recorded->number).toStdU16String();
    make(offer);
    store.markPdfWritten(recorded->number, entry.fileName);
    // As the address file did: the address an offer went out with, none forgetting the old one.
    if (!entry.customer.empty() &&
        store.address(entry.customer).value_or(std::string()) != entry.address)
        store.setAddress(entry.customer, entry.address);
}

} // namespace pyrelto
