#include "invoice.h"

#include "firm_data.h"
#include "utf16.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

namespace pyrelto {

namespace {

// Ten years: beyond any real payment term, and it bounds the day-by-day date arithmetic.
constexpr int maxPaymentDays = 3650;

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

std::string twoDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// a × b / divisor, rounded half away from zero; throws when the product leaves 64 bits.
std::int64_t mulDivRounded(std::int64_t a, std::int64_t b, std::int64_t divisor) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || product == INT64_MIN) {
        throw std::invalid_argument("Betrag zu groß");
    }
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t rounded = magnitude / divisor + (magnitude % divisor * 2 >= divisor ? 1 : 0);
    return product < 0 ? -rounded : rounded;
}

// Money's own + does not check; the amounts here may come from any input.
Money checkedAdd(Money a, Money b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.cents(), b.cents(), &sum)) {
        throw std::invalid_argument("Betrag zu groß");
    }
    return Money::fromCents(sum);
}

VatCategory categoryOf(TaxCase taxCase, int rate) {
    switch (taxCase) {
    case TaxCase::ReverseCharge:
        return VatCategory::ReverseCharge;
    case TaxCase::SmallBusiness:
        return VatCategory::Exempt;
    case TaxCase::Normal:
        break;
    }
    return rate == 0 ? VatCategory::ZeroRated : VatCategory::Standard;
}

} // namespace

std::string_view invoiceKindText(InvoiceKind kind) {
    switch (kind) {
    case InvoiceKind::Partial:
        return "abschlag";
    case InvoiceKind::Final:
        return "schluss";
    case InvoiceKind::CreditNote:
        return "gutschrift";
    case InvoiceKind::Invoice:
        break;
    }
    return "rechnung";
}

std::optional<InvoiceKind> invoiceKindFromText(std::string_view text) {
    for (const InvoiceKind kind :
         {InvoiceKind::Invoice, InvoiceKind::Partial, InvoiceKind::Final, InvoiceKind::CreditNote})
        if (invoiceKindText(kind) == text)
            return kind;
    return std::nullopt;
}

bool Date::isValid() const {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

std::optional<Date> parseIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    Date date;
    const auto number = [&](std::size_t from, std::size_t length, int& value) {
        const char* first = text.data() + from;
        const auto [end, error] = std::from_chars(first, first + length, value);
        return error == std::errc() && end == first + length && *first != '-' && *first != '+';
    };
    if (!number(0, 4, date.year) || !number(5, 2, date.month) || !number(8, 2, date.day) ||
        !date.isValid()) {
        return std::nullopt;
    }
    return date;
}

std::string germanDateUtf8(const Date& date) {
    return twoDigits(date.day) + "." + twoDigits(date.month) + "." + std::to_string(date.year);
}

Date addDays(const Date& date, int days) {
    Date result = date;
    if (!date.isValid()) {
        return result;
    }
    for (; days > 0; --days) {
        if (++result.day > daysInMonth(result.year, result.month)) {
            result.day = 1;
            if (++result.month > 12) {
                result.month = 1;
                ++result.year;
            }
        }
    }
    return result;
}

NamedAddress addressFromLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const auto& line : lines) {
        if (!blank(line)) {
            kept.push_back(trimmed(line));
        }
    }
    NamedAddress result;
    if (kept.empty()) {
        return result;
    }
    result.name = kept.front();
    if (kept.size() == 1) {
        return result;
    }
    const std::string& last = kept.back();
    const auto space = last.find(' ');
    const std::string first = last.substr(0, space);
    const bool postcode = !first.empty() && std::all_of(first.begin(), first.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (postcode && space != std::string::npos) {
        result.address.postcode = first;
        result.address.town = trimmed(last.substr(space + 1));
    } else {
        result.address.town = last;
    }
    result.address.streetLines.assign(kept.begin() + 1, kept.end() - 1);
    return result;
}

char vatCategoryCode(VatCategory category) {
    switch (category) {
    case VatCategory::Standard:
        return 'S';
    case VatCategory::ZeroRated:
        return 'Z';
    case VatCategory::ReverseCharge:
        return 'A'; // written "AE"
    case VatCategory::Exempt:
        return 'E';
    }
    return 'S';
}

std::string reverseChargeNote() {
    return "Steuerschuldnerschaft des Leistungsempfängers (§ 13b UStG)";
}

std::string smallBusinessNote() {
    return "Gemäß § 19 UStG wird keine Umsatzsteuer berechnet.";
}

std::string retentionNote() {
    return "Sie sind gesetzlich verpflichtet, diese Rechnung zwei Jahre lang aufzubewahren "
           "(§ 14 Abs. 4 Satz 1 Nr. 9 UStG).";
}

std::string invoiceKindTitle(InvoiceKind kind) {
    switch (kind) {
    case InvoiceKind::Invoice:
        return "Rechnung";
    case InvoiceKind::Partial:
        return "Abschlagsrechnung";
    case InvoiceKind::Final:
        return "Schlussrechnung";
    case InvoiceKind::CreditNote:
        return "Gutschrift (Storno)";
    }
    return "Rechnung";
}

Money lineTotal(const InvoiceLine& line) {
    return Money::fromCents(mulDivRounded(line.quantityMilli, line.unitPrice.cents(), 1000));
}

Money percentOf(Money amount, int hundredths) {
    return Money::fromCents(mulDivRounded(amount.cents(), hundredths, 10000));
}

InvoiceTotals computeTotals(const Invoice& invoice) {
    InvoiceTotals totals;
    // Keyed by (category, rate), so equal rates collect into one breakdown.
    std::map<std::pair<VatCategory, int>, std::pair<Money, Money>> groups;
    for (const auto& line : invoice.lines) {
        const int rate = invoice.taxCase == TaxCase::Normal ? line.vatRateHundredths : 0;
        const Money total = lineTotal(line);
        totals.lineTotal = checkedAdd(totals.lineTotal, total);
        auto& [basis, labour] = groups[{categoryOf(invoice.taxCase, rate), rate}];
        basis = checkedAdd(basis, total);
        labour = checkedAdd(labour, line.labour);
    }
    for (const auto& [key, sums] : groups) {
        VatBreakdown breakdown;
        breakdown.category = key.first;
        breakdown.rateHundredths = key.second;
        breakdown.basis = sums.first;
        breakdown.vat = percentOf(sums.first, key.second);
        if (key.first == VatCategory::ReverseCharge) {
            breakdown.exemptionReason = reverseChargeNote();
        } else if (key.first == VatCategory::Exempt) {
            breakdown.exemptionReason = smallBusinessNote();
        }
        totals.vatTotal = checkedAdd(totals.vatTotal, breakdown.vat);
        totals.labourNet = checkedAdd(totals.labourNet, sums.second);
        totals.labourVat = checkedAdd(totals.labourVat, percentOf(sums.second, key.second));
        totals.vat.push_back(std::move(breakdown));
    }
    std::sort(totals.vat.begin(), totals.vat.end(),
              [](const VatBreakdown& a, const VatBreakdown& b) {
                  return a.rateHundredths > b.rateHundredths;
              });
    totals.grandTotal = checkedAdd(totals.lineTotal, totals.vatTotal);
    for (const auto& partial : invoice.partials) {
        totals.prepaid = checkedAdd(totals.prepaid, partial.gross);
    }
    totals.duePayable = checkedAdd(totals.grandTotal, -totals.prepaid);
    return totals;
}

Money skontoAmount(const Invoice& invoice, const InvoiceTotals& totals) {
    return invoice.skonto ? percentOf(totals.duePayable, invoice.skonto->percentHundredths)
                          : Money();
}

std::string labourShareNote(const InvoiceTotals& totals) {
    if (totals.labourNet == Money()) {
        return {};
    }
    const Money gross = totals.labourNet + totals.labourVat;
    std::string note =
        "Im Rechnungsbetrag enthaltene Arbeitskosten nach § 35a EStG: " + germanAmount(gross) +
        " €";
    if (totals.labourVat != Money()) {
        note += " (netto " + germanAmount(totals.labourNet) + " €, MwSt. " +
                germanAmount(totals.labourVat) + " €)";
    }
    return note + ".";
}

std::vector<std::string> missingItems(const Invoice& invoice) {
    std::vector<std::string> missing;
    const auto need = [&](bool present, const char* text) {
        if (!present) {
            missing.emplace_back(text);
        }
    };
    need(!blank(invoice.seller.name), "Der Name der eigenen Firma fehlt.");
    need(!invoice.seller.address.streetLines.empty() && !blank(invoice.seller.address.postcode) &&
             !blank(invoice.seller.address.town),
         "Die Anschrift der eigenen Firma (Straße, PLZ, Ort) ist unvollständig.");
    need(!blank(invoice.seller.taxNumber) || !blank(invoice.seller.vatId),
         "Die Steuernummer oder USt-IdNr. der eigenen Firma fehlt.");
    need(!blank(invoice.bank.iban), "Die IBAN für die Zahlung fehlt.");
    need(blank(invoice.bank.iban) || ibanProblem(fromUtf8(invoice.bank.iban)).empty(),
         "Die IBAN ist ungültig (Prüfziffer oder Länge stimmt nicht).");
    need(!blank(invoice.buyer.name), "Der Name des Kunden fehlt.");
    need(!invoice.buyer.address.streetLines.empty() && !blank(invoice.buyer.address.postcode) &&
             !blank(invoice.buyer.address.town),
         "Die Anschrift des Kunden (Straße, PLZ, Ort) ist unvollständig.");
    need(invoice.issueDate.isValid(), "Das Rechnungsdatum fehlt.");
    need(invoice.periodStart.isValid() && invoice.periodEnd.isValid(),
         "Der Leistungszeitraum (von, bis) fehlt.");
    need(!invoice.periodStart.isValid() || !invoice.periodEnd.isValid() ||
             invoice.periodStart <= invoice.periodEnd,
         "Der Leistungszeitraum endet vor seinem Beginn.");
    need(!invoice.lines.empty(), "Die Rechnung hat keine Position.");
    need(std::all_of(invoice.lines.begin(), invoice.lines.end(),
                     [](const InvoiceLine& line) { return !blank(line.description); }),
         "Eine Position hat keine Beschreibung.");
    need(std::all_of(invoice.lines.begin(), invoice.lines.end(),
                     [](const InvoiceLine& line) { return !line.unitCode.empty(); }),
         "Eine Position hat keine Einheit.");
    need(invoice.paymentDays >= 0 && invoice.paymentDays <= maxPaymentDays,
         "Das Zahlungsziel muss zwischen 0 und 3650 Tagen liegen.");
    if (invoice.taxCase == TaxCase::ReverseCharge) {
        need(!blank(invoice.buyer.vatId), "Für § 13b UStG fehlt die USt-IdNr. des Kunden.");
        need(!invoice.privateCustomer,
             "§ 13b UStG gilt nur, wenn der Kunde ein Unternehmer ist, nicht für Privatkunden.");
    }
    if (invoice.kind == InvoiceKind::CreditNote) {
        need(!blank(invoice.originalNumber), "Die Nummer der Rechnung, die storniert wird, fehlt.");
    }
    if (invoice.skonto) {
        need(invoice.skonto->days > 0 && invoice.skonto->days <= maxPaymentDays &&
                 invoice.skonto->percentHundredths > 0 && invoice.skonto->percentHundredths < 10000,
             "Die Skonto-Angabe ist unvollständig (Tage und Prozent).");
    }
    try {
        computeTotals(invoice);
    } catch (const std::invalid_argument&) {
        missing.emplace_back("Ein Betrag ist zu groß.");
    }
    return missing;
}

namespace {

// Lines of `whole` that carry `net` in total, split over its VAT rates by their share of the
// whole net; the last rate takes the rounding rest so the parts add up to `net` exactly.
Invoice partialOf(const Invoice& whole, Money net, const std::string& what) {
    Invoice partial = whole;
    partial.kind = InvoiceKind::Partial;
    partial.lines.clear();
    partial.partials.clear();
    std::map<int, Money, std::greater<>> byRate;
    Money wholeNet;
    for (const auto& line : whole.lines) {
        byRate[line.vatRateHundredths] =
            checkedAdd(byRate[line.vatRateHundredths], lineTotal(line));
        wholeNet = checkedAdd(wholeNet, lineTotal(line));
    }
    Money rest = net;
    std::size_t index = 0;
    for (const auto& [rate, amount] : byRate) {
        InvoiceLine line;
        const bool last = ++index == byRate.size();
        line.unitPrice =
            last || wholeNet == Money()
                ? rest
                : Money::fromCents(mulDivRounded(net.cents(), amount.cents(), wholeNet.cents()));
        rest -= line.unitPrice;
        line.description = what;
        if (byRate.size() > 1) {
            line.description += " (Leistungen zu " + std::to_string(rate / 100) + " % MwSt.)";
        }
        if (!whole.offerNumber.empty()) {
            line.description += ", Angebot " + whole.offerNumber;
        }
        line.quantityMilli = 1000;
        line.unitCode = "C62";
        line.vatRateHundredths = rate;
        partial.lines.push_back(std::move(line));
    }
    return partial;
}

std::string percentText(int hundredths) {
    std::string text = std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        text += "," + twoDigits(hundredths % 100);
    }
    return text;
}

} // namespace

Invoice partialByPercent(const Invoice& whole, int hundredths) {
    Money wholeNet;
    for (const auto& line : whole.lines) {
        wholeNet = checkedAdd(wholeNet, lineTotal(line));
    }
    return partialOf(whole, percentOf(wholeNet, hundredths),
                     "Abschlag " + percentText(hundredths) + " % der Auftragssumme");
}

Invoice partialByAmount(const Invoice& whole, Money net) {
    return partialOf(whole, net, "Abschlag auf die Auftragssumme");
}

Invoice finalInvoice(const Invoice& whole, const std::vector<Invoice>& partials) {
    Invoice result = whole;
    result.kind = InvoiceKind::Final;
    result.partials.clear();
    for (const auto& partial : partials) {
        const InvoiceTotals totals = computeTotals(partial);
        result.partials.push_back({partial.number, partial.issueDate, totals.lineTotal,
                                   totals.vatTotal, totals.grandTotal});
    }
    return result;
}

Invoice creditNoteFor(const Invoice& original, const std::string& number, const Date& issueDate) {
    Invoice note = original;
    note.kind = InvoiceKind::CreditNote;
    note.number = number;
    note.issueDate = issueDate;
    note.originalNumber = original.number;
    note.originalDate = original.issueDate;
    note.skonto.reset();
    return note;
}

std::string decimalAmount(Money amount) {
    const std::int64_t cents = amount.cents();
    const bool negative = cents < 0;
    // Unsigned so that the most negative count has a magnitude too.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    // Front to back: GCC 12 misreads a prepended sign as an overlapping copy (-Wrestrict).
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += '.';
    text += twoDigits(static_cast<int>(magnitude % 100));
    return text;
}

std::string germanAmount(Money cents) {
    std::string plain = decimalAmount(cents);
    const bool negative = plain.front() == '-';
    std::string whole = plain.substr(negative ? 1 : 0, plain.size() - 3 - (negative ? 1 : 0));
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i != 0 && (whole.size() - i) % 3 == 0) {
            grouped += '.';
        }
        grouped += whole[i];
    }
    return (negative ? "-" : "") + grouped + "," + plain.substr(plain.size() - 2);
}

} // namespace pyrelto
