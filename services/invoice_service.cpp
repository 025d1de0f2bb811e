#include "invoice_service.h"

#include "field_catalogue.h"
#include "firm_data.h"
#include "invoice_data.h"
#include "logo.h"
#include "money.h"
#include "offer.h"
#include "offer_service.h"
#include "pdf_file.h"
#include "printout.h"
#include "qt_date.h"
#include "qt_text.h"
#include "sheet.h"
#include "xrechnung.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>

namespace pyrelto {

namespace {

std::string utf8(std::u16string_view text) {
    return toQString(text).toStdString();
}

std::string trimmedUtf8(std::u16string_view text) {
    return toQString(text).trimmed().toStdString();
}

std::optional<Money> shownMoney(const Sheet& sheet, FieldId field) {
    return Money::parse(sheet.shownText(field), sheet.numberFormat());
}

// "DE123456789", "ATU12345678": two letters, then letters and digits only.
bool readsAsVatId(const std::string& text) {
    return text.size() >= 8 && std::isupper(static_cast<unsigned char>(text[0])) &&
           std::isupper(static_cast<unsigned char>(text[1])) &&
           std::all_of(text.begin() + 2, text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) ||
                      std::isupper(static_cast<unsigned char>(c));
           });
}

// The whole work of the sheet, as the offer charges it.
Invoice wholeInvoice(const Sheet& sheet, const FirmData& firm, const InvoiceChoices& choices) {
    const auto net = shownMoney(sheet, FieldId::Summe15Ed);
    if (!net || *net <= Money())
        throw std::runtime_error(
            "Die Kalkulation hat keinen Nettobetrag: es gibt nichts zu berechnen.");
    Invoice invoice;
    invoice.seller = sellerOf(firm);
    invoice.bank = {trimmedUtf8(firm.accountHolder.empty() ? firm.name : firm.accountHolder),
                    trimmedUtf8(firm.iban), trimmedUtf8(firm.bic)};
    invoice.bank.iban.erase(std::remove(invoice.bank.iban.begin(), invoice.bank.iban.end(), ' '),
                            invoice.bank.iban.end());
    const std::string currency = trimmedUtf8(sheet.shownText(FieldId::Waehr15Ed));
    if (currency == "€" || currency.empty() || currency == "EUR")
        invoice.currency = "EUR";
    else
        throw std::runtime_error("Rechnungen werden in Euro geschrieben; die Kalkulation rechnet "
                                 "in „" +
                                 currency + "“.");

    InvoiceLine line;
    const std::u16string title = OfferChoices::defaultWorkTitle();
    line.description = utf8(title);
    const auto rows = describedRows(sheet);
    for (std::size_t i = 0; i < rows.size(); ++i)
        line.description += (i == 0 ? ": " : ", ") + trimmedUtf8(rows[i]);
    const auto rate = shownMoney(sheet, FieldId::MwStEd);
    line.vatRateHundredths = rate ? static_cast<int>(rate->cents()) : 1900;
    // The roof's area times the price per m² when that is the sheet's net to the cent; the net as
    // one lump sum otherwise, so that the invoice never charges a cent other than the offer.
    const auto area = shownMoney(sheet, FieldId::Dach14Ed);
    const auto perSquareMetre = shownMoney(sheet, FieldId::Summe13Ed);
    line.quantityMilli = 1000;
    line.unitCode = "C62";
    line.unitPrice = *net;
    if (area && perSquareMetre && *area > Money()) {
        InvoiceLine measured = line;
        measured.quantityMilli = area->cents() * 10;
        measured.unitCode = "MTK";
        measured.unitPrice = *perSquareMetre;
        if (lineTotal(measured) == *net)
            line = measured;
    }
    if (choices.privateCustomer)
        line.labour = labourShare(sheet).value_or(Money());
    invoice.lines.push_back(std::move(line));
    return invoice;
}

// The partial invoices of the job the register holds that no credit note cancelled, oldest
// first; throws when the job has an uncancelled final invoice already.
std::vector<PriorInvoice> partialsOfJob(Store& store, const std::string& offerNumber,
                                        const std::string& customer) {
    std::vector<PriorInvoice> partials;
    for (const InvoiceSummary& summary : store.invoices()) {
        const bool sameJob =
            offerNumber.empty() ? summary.customer == customer : summary.offerNumber == offerNumber;
        if (!sameJob || !summary.cancelledBy.empty())
            continue;
        if (summary.kind == InvoiceKind::Final)
            throw std::runtime_error("Für diesen Auftrag gibt es schon die Schlussrechnung " +
                                     summary.number + ".");
        if (summary.kind != InvoiceKind::Partial)
            continue;
        partials.push_back({summary.number, parseIsoDate(summary.issueDate).value_or(Date{}),
                            Money::fromCents(summary.netCents), Money::fromCents(summary.vatCents),
                            Money::fromCents(summary.grossCents)});
    }
    std::reverse(partials.begin(), partials.end());
    return partials;
}

// Beyond any roof; the sheet would no longer show its net as a plain amount.
constexpr std::int64_t kMaxAreaHundredths = std::int64_t{1'000'000} * 100;

// "1.234,50 m²".
std::string areaText(std::int64_t hundredths) {
    return germanAmount(Money::fromCents(hundredths)) + " m²";
}

// A copy of `sheet` as a file of it would load, its area replaced by `hundredths` as if typed, so
// that the sheet's own rules price it exactly as the offer prices any area.
std::unique_ptr<Sheet> remeasured(const Sheet& sheet, std::int64_t hundredths) {
    auto copy = std::make_unique<Sheet>(sheet.numberFormat());
    applyCalculation(*copy, captureCalculation(sheet));
    const std::string whole = std::to_string(hundredths / 100);
    std::u16string text(whole.begin(), whole.end());
    text += sheet.numberFormat().decimalSeparator;
    text += static_cast<char16_t>(u'0' + hundredths % 100 / 10);
    text += static_cast<char16_t>(u'0' + hundredths % 10);
    copy->enter(FieldId::Dach14Ed, std::move(text));
    return copy;
}

// The sheet the invoice of `choices` charges: `sheet` itself, or the copy with the measured area
// (kept alive in `holder`). Throws std::runtime_error (German) for an area that is no roof's.
const Sheet& chargedSheet(const Sheet& sheet, const InvoiceChoices& choices,
                          std::unique_ptr<Sheet>& holder) {
    if (!choices.areaHundredths)
        return sheet;
    const std::int64_t area = *choices.areaHundredths;
    if (area <= 0)
        throw std::runtime_error("Die Menge (Dachfläche) muss größer als 0 m² sein, nicht " +
                                 areaText(area) + ".");
    if (area > kMaxAreaHundredths)
        throw std::runtime_error("Die Menge (Dachfläche) von " + areaText(area) +
                                 " ist größer als jedes Dach.");
    if (sheetAreaHundredths(sheet) == area)
        return sheet;
    holder = remeasured(sheet, area);
    return *holder;
}

} // namespace

std::optional<std::int64_t> parseDecimalHundredths(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    std::string whole;
    std::string_view fraction;
    bool separator = false;
    if (const auto comma = text.find(','); comma != std::string_view::npos) {
        // German: the decimal comma, and dots grouping the whole part in threes.
        separator = true;
        fraction = text.substr(comma + 1);
        std::string_view grouped = text.substr(0, comma);
        for (std::size_t group = 0;; ++group) {
            const auto dot = grouped.rfind('.');
            const std::string_view last =
                dot == std::string_view::npos ? grouped : grouped.substr(dot + 1);
            if (dot != std::string_view::npos ? last.size() != 3
                                              : group > 0 && (last.empty() || last.size() > 3))
                return std::nullopt;
            whole.insert(0, last);
            if (dot == std::string_view::npos)
                break;
            grouped = grouped.substr(0, dot);
        }
    } else {
        const auto point = text.find('.');
        separator = point != std::string_view::npos;
        whole = std::string(text.substr(0, point));
        if (separator)
            fraction = text.substr(point + 1);
    }
    if (whole.empty() || whole.size() > 13 || !digits(whole) || fraction.size() > 2 ||
        (separator && fraction.empty()) || !digits(fraction))
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : whole)
        value = value * 10 + (c - '0');
    for (std::size_t i = 0; i < 2; ++i)
        value = value * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    return negative ? -value : value;
}

std::optional<std::int64_t> sheetAreaHundredths(const Sheet& sheet) {
    const auto area = shownMoney(sheet, FieldId::Dach14Ed);
    return area ? std::optional<std::int64_t>(area->cents()) : std::nullopt;
}

std::string invoiceCalculation(const Sheet& sheet, const CalculationExtras& extras,
                               const InvoiceChoices& choices) {
    std::unique_ptr<Sheet> holder;
    const std::vector<std::byte> bytes =
        calculationBytes(chargedSheet(sheet, choices, holder), extras);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

Party sellerOf(const FirmData& firm) {
    Party seller;
    seller.name = trimmedUtf8(firm.name);
    if (const std::string street = trimmedUtf8(firm.street); !street.empty())
        seller.address.streetLines.push_back(street);
    // "34117 Kassel": the postcode up to the first space, the town after it.
    const QString place = toQString(firm.postcodeTown).simplified();
    const qsizetype space = place.indexOf(QLatin1Char(' '));
    seller.address.postcode = place.left(space < 0 ? 0 : space).toStdString();
    seller.address.town = place.mid(space + 1).toStdString();
    std::string taxId = trimmedUtf8(firm.taxId);
    if (readsAsVatId(taxId))
        seller.vatId = std::move(taxId);
    else
        seller.taxNumber = std::move(taxId);
    seller.contactName = trimmedUtf8(firm.contact);
    seller.phone = trimmedUtf8(firm.phone);
    seller.email = trimmedUtf8(firm.email);
    return seller;
}

InvoiceChoices newInvoiceChoices(const Sheet& sheet, const CalculationExtras& extras, Store& store,
                                 const QDate& today) {
    InvoiceChoices choices;
    choices.issueDate = toDate(today);
    const QString customer = toQString(sheet.shownText(FieldId::KundeEd)).trimmed();
    if (!customer.isEmpty()) {
        choices.addressLines.push_back(customer.toStdString());
        for (const QString& line :
             rememberedAddress(store, customer).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!line.trimmed().isEmpty())
                choices.addressLines.push_back(line.trimmed().toStdString());
    }
    const std::vector<std::byte> bytes = calculationBytes(sheet, extras);
    const std::string calculation(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (const OfferSummary& offer : store.offers()) {
        // Only the customer's own offers are read whole: a register of years stays quick.
        if (offer.customer != customer.toStdString())
            continue;
        const auto record = store.offer(offer.number);
        if (record && record->entry.calculation == calculation) {
            choices.offerNumber = offer.number;
            // The offer's Ausführungszeitraum, when it named both ends, is the Leistungszeitraum
            // the user is offered.
            const auto from = parseIsoDate(record->entry.workFrom);
            const auto until = parseIsoDate(record->entry.workUntil);
            if (from && until) {
                choices.periodStart = *from;
                choices.periodEnd = *until;
            }
            break;
        }
    }
    return choices;
}

Invoice prepareInvoice(const Sheet& sheet, const FirmData& firm, const InvoiceChoices& choices,
                       Store& store) {
    if (choices.kind == InvoiceKind::CreditNote) {
        const auto record = store.invoice(choices.cancels);
        if (!record)
            throw std::runtime_error("Die Rechnung „" + choices.cancels +
                                     "“ ist nicht im Rechnungsbuch.");
        if (record->summary.kind == InvoiceKind::CreditNote)
            throw std::runtime_error("Die Gutschrift " + choices.cancels +
                                     " kann nicht storniert werden.");
        if (!record->summary.cancelledBy.empty())
            throw std::runtime_error("Die Rechnung " + choices.cancels +
                                     " ist schon durch die Gutschrift " +
                                     record->summary.cancelledBy + " storniert.");
        Invoice original = invoiceFromData(record->documents.invoiceData);
        Invoice note = creditNoteFor(original, "", choices.issueDate);
        return note;
    }
    std::unique_ptr<Sheet> holder;
    Invoice invoice = wholeInvoice(chargedSheet(sheet, choices, holder), firm, choices);
    invoice.issueDate = choices.issueDate;
    invoice.periodStart = choices.periodStart;
    invoice.periodEnd = choices.periodEnd;
    invoice.taxCase = choices.taxCase;
    invoice.privateCustomer = choices.privateCustomer;
    invoice.offerNumber = choices.offerNumber;
    invoice.buyerReference = choices.buyerReference;
    const NamedAddress buyer = addressFromLines(choices.addressLines);
    invoice.buyer.name = buyer.name;
    invoice.buyer.address = buyer.address;
    invoice.buyer.vatId = choices.buyerVatId;
    invoice.buyer.email = choices.buyerEmail;
    switch (choices.kind) {
    case InvoiceKind::Partial: {
        // What the job's earlier partial invoices (those no credit note cancelled) leave of it:
        // no partial invoice may charge more, by amount or by percentage.
        Money left = computeTotals(invoice).lineTotal;
        for (const PriorInvoice& prior :
             partialsOfJob(store, choices.offerNumber, invoice.buyer.name))
            left -= prior.net;
        const auto tooMuch = [&left](const std::string& what) {
            return std::runtime_error(what + " ist mehr, als vom Auftrag noch offen ist (" +
                                      germanAmount(std::max(left, Money())) + " € netto).");
        };
        if (choices.partialNet) {
            const Money net = *choices.partialNet;
            if (net <= Money())
                throw std::runtime_error("Der Betrag einer Abschlagsrechnung muss über 0,00 € "
                                         "liegen, nicht " +
                                         germanAmount(net) + " €.");
            if (net > left)
                throw tooMuch("Der Abschlag von " + germanAmount(net) + " € netto");
            return partialByAmount(invoice, net);
        }
        if (choices.partialHundredths <= 0 || choices.partialHundredths >= 10000)
            throw std::runtime_error(
                "Der Anteil einer Abschlagsrechnung muss über 0 und unter 100 % liegen.");
        Invoice partial = partialByPercent(invoice, choices.partialHundredths);
        if (const Money net = computeTotals(partial).lineTotal; net > left)
            throw tooMuch("Der Abschlag von " +
                          germanAmount(Money::fromCents(choices.partialHundredths)) + " % (" +
                          germanAmount(net) + " € netto)");
        return partial;
    }
    case InvoiceKind::Final: {
        Invoice result = finalInvoice(invoice, {});
        result.partials = partialsOfJob(store, choices.offerNumber, invoice.buyer.name);
        return result;
    }
    default:
        return invoice;
    }
}

std::vector<std::string> invoiceProblems(const Invoice& invoice, bool withXml) {
    std::vector<std::string> problems = missingItems(invoice);
    if (withXml) {
        Invoice numbered = invoice;
        // The number is taken only when the invoice is issued.
        if (numbered.number.empty())
            numbered.number = "R-0000-0000";
        for (std::string& item : missingForXRechnung(numbered))
            problems.push_back(std::move(item));
    }
    if (problems.empty()) {
        try {
            if (computeTotals(invoice).duePayable < Money() &&
                invoice.kind != InvoiceKind::CreditNote)
                problems.emplace_back("Die Abschläge übersteigen den Rechnungsbetrag.");
        } catch (const std::invalid_argument&) {
        }
    }
    return problems;
}

InvoiceRecord issueInvoiceRecord(Store& store, const Invoice& invoice, bool withXml,
                                 const InvoiceLetterhead& letterhead,
                                 const std::string& calculation) {
    if (const auto problems = invoiceProblems(invoice, withXml); !problems.empty()) {
        std::string text = "Die Rechnung kann so nicht ausgestellt werden:";
        for (const std::string& problem : problems)
            text += "\n  " + problem;
        throw std::runtime_error(text);
    }
    const std::string number =
        store.issueInvoice(invoiceEntryOf(invoice, calculation), [&](const std::string& taken) {
            Invoice numbered = invoice;
            numbered.number = taken;
            InvoiceDocuments documents;
            documents.invoiceData = invoiceDataJson(numbered);
            const QByteArray pdf = invoicePdf(numbered, letterhead);
            documents.pdf.assign(pdf.constData(), static_cast<std::size_t>(pdf.size()));
            if (withXml)
                documents.xml = xrechnungXml(numbered);
            return documents;
        });
    auto record = store.invoice(number);
    if (!record)
        throw StoreError(StoreError::Kind::Failed,
                         "Die Rechnung " + number + " fehlt nach dem Ausstellen im Rechnungsbuch.");
    return std::move(*record);
}

InvoiceLetterhead letterheadOf(const FirmData& firm) {
    InvoiceLetterhead letterhead{firm.logoPath, firm.web};
    if (!firm.logoPath.empty() && !logoProblem(toQString(firm.logoPath)).isEmpty())
        letterhead.logoPath.clear();
    return letterhead;
}

void writeDocumentFile(const QString& file, const std::string& bytes) {
    try {
        writePdfBytes(file, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    } catch (const PrintError& e) {
        throw std::runtime_error(e.message().toStdString());
    }
}

} // namespace pyrelto
