#include "offer.h"

#include "field_catalogue.h"
#include "money.h"
#include "sheet.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

namespace pyrelto {

namespace {

std::u16string shown(const Sheet& sheet, FieldId id) {
    return trimmed(sheet.shownText(id));
}

std::u16string ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string number(long long value) {
    return ascii(std::to_string(value));
}

// The rows whose descriptions describe the work: the layers first (what the customer gets), then
// the materials and the items counted in pieces. The other costs per m² (gas, primer) are the
// contractor's running costs, not work the customer orders.
// Layers and materials are priced per m² of roof; the items counted in pieces name their pieces
// per m² (`pieces`), and the offer shows how many the roof takes.
struct DescribedRow {
    RowId row;
    FieldId bez;
    FieldId sum;
    std::optional<FieldId> pieces;
};
constexpr DescribedRow kDescribedRows[] = {
    {RowId::Panel11, FieldId::Bez10Ed, FieldId::Summe10Ed, {}},
    {RowId::Panel12, FieldId::Bez11Ed, FieldId::Summe11Ed, {}},
    {RowId::Panel13, FieldId::Bez12Ed, FieldId::Summe12Ed, {}},
    {RowId::Panel2, FieldId::Bez1Ed, FieldId::Summe1Ed, {}},
    {RowId::Panel3, FieldId::Bez2Ed, FieldId::Summe2Ed, {}},
    {RowId::Panel4, FieldId::Bez3Ed, FieldId::Summe3Ed, {}},
    {RowId::Panel5, FieldId::Bez4Ed, FieldId::Summe4Ed, {}},
    {RowId::Panel6, FieldId::Bez5Ed, FieldId::Summe5Ed, {}},
    {RowId::Panel9, FieldId::Bez8Ed, FieldId::Summe8Ed, FieldId::Anz8Ed},
    {RowId::Panel22, FieldId::Bez8Ed2, FieldId::Summe8Ed2, FieldId::Anz8Ed2},
    {RowId::Panel23, FieldId::Bez8Ed3, FieldId::Summe8Ed3, FieldId::Anz8Ed3},
    {RowId::Panel24, FieldId::Bez8Ed4, FieldId::Summe8Ed4, FieldId::Anz8Ed4},
    {RowId::Panel25, FieldId::Bez8Ed5, FieldId::Summe8Ed5, FieldId::Anz8Ed5},
};

// The pieces a roof of `area` takes at `perSquareMetre`, rounded up to whole pieces: nobody fixes
// a third of a dowel. Worked in hundredths from the texts the sheet shows, so exact; nothing when
// either text is no plain amount (or the roof is too large to count in pieces).
std::optional<std::int64_t> piecesFor(const std::u16string& perSquareMetre,
                                      const std::u16string& area, NumberFormat format) {
    const auto perM2 = Money::parse(perSquareMetre, format);
    const auto m2 = Money::parse(area, format);
    if (!perM2 || !m2 || perM2->cents() < 0 || m2->cents() < 0)
        return std::nullopt;
    constexpr std::int64_t kLimit = 3'000'000'000; // keeps the product within 64 bits
    if (perM2->cents() > kLimit || m2->cents() > kLimit)
        return std::nullopt;
    const std::int64_t tenThousandths = perM2->cents() * m2->cents();
    return (tenThousandths + 9999) / 10000;
}

std::u16string withCurrency(const std::u16string& amount, const std::u16string& currency) {
    return currency.empty() ? amount : amount + u' ' + currency;
}

// The VAT rate without the decimals a whole rate does not need: "19,00" → "19", "7,50" → "7,5".
std::u16string rateText(std::u16string rate, char16_t decimal) {
    if (rate.find(decimal) == std::u16string::npos)
        return rate;
    while (!rate.empty() && rate.back() == u'0')
        rate.pop_back();
    if (!rate.empty() && rate.back() == decimal)
        rate.pop_back();
    return rate;
}

// A difference beyond what the sheet shows as a plain number: in scientific form, as the sheet
// shows such numbers ("1.50E+20").
std::u16string scientific(long double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                      static_cast<double>(value), std::chars_format::scientific, 2);
    std::u16string out = ascii(std::string_view(buffer.data(), result.ptr));
    for (char16_t& c : out)
        if (c == u'e')
            c = u'E';
    return out;
}

} // namespace

std::u16string germanDate(Date date) {
    const auto two = [](int value) {
        return std::u16string{static_cast<char16_t>(u'0' + value / 10 % 10),
                              static_cast<char16_t>(u'0' + value % 10)};
    };
    std::u16string year = number(date.year);
    while (year.size() < 4)
        year.insert(year.begin(), u'0');
    return two(date.day) + u'.' + two(date.month) + u'.' + year;
}

std::u16string executionPeriodText(const ExecutionPeriod& period) {
    if (period.byArrangement)
        return u"nach Vereinbarung";
    if (period.from.isSet() && period.until.isSet())
        return germanDate(period.from) + u" bis " + germanDate(period.until);
    if (period.from.isSet())
        return u"ab " + germanDate(period.from);
    if (period.until.isSet())
        return u"bis " + germanDate(period.until);
    return {};
}

std::optional<std::vector<int>> parseInstalments(std::u16string_view text) {
    std::vector<int> percents;
    std::size_t i = 0;
    const auto separator = [](char16_t c) { return c == u',' || c == u';' || isSpace(c); };
    while (i < text.size()) {
        if (separator(text[i])) {
            ++i;
            continue;
        }
        int value = 0;
        std::size_t digits = 0;
        for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
            if (digits >= 3)
                return std::nullopt;
            value = value * 10 + (text[i] - u'0');
        }
        if (digits == 0)
            return std::nullopt;
        std::size_t sign = i;
        while (sign < text.size() && isSpace(text[sign]))
            ++sign;
        if (sign < text.size() && text[sign] == u'%')
            i = sign + 1;
        if (i < text.size() && !separator(text[i]))
            return std::nullopt;
        percents.push_back(value);
    }
    return percents;
}

std::u16string instalmentsProblem(const std::vector<int>& percents) {
    int sum = 0;
    for (const int percent : percents) {
        if (percent < 1 || percent > 100)
            return u"Eine Abschlagszahlung muss zwischen 1 und 100 % betragen.";
        sum += percent;
    }
    if (sum > 100)
        return u"Die Abschlagszahlungen ergeben zusammen " + number(sum) +
               u" %, mehr als der Angebotspreis.";
    return {};
}

std::u16string OfferChoices::defaultSubject() {
    return u"Angebot über Abdichtungsarbeiten";
}

std::u16string OfferChoices::defaultIntroduction() {
    return u"Sehr geehrte Damen und Herren,\n\nvielen Dank für Ihre Anfrage. Gerne bieten wir "
           u"Ihnen die folgenden Leistungen an:";
}

std::u16string OfferChoices::defaultWorkTitle() {
    return u"Abdichtung der Dachfläche mit Bitumen-Schweißbahnen, einschließlich Material";
}

namespace {

std::vector<const DescribedRow*> takingPart(const Sheet& sheet) {
    std::vector<const DescribedRow*> rows;
    for (const DescribedRow& row : kDescribedRows) {
        if (!sheet.shown(row.row) || shown(sheet, row.bez).empty() ||
            sheet.number(row.sum).GetValue() == 0)
            continue;
        rows.push_back(&row);
    }
    return rows;
}

} // namespace

std::vector<std::u16string> describedRows(const Sheet& sheet) {
    std::vector<std::u16string> rows;
    for (const DescribedRow* row : takingPart(sheet))
        rows.push_back(shown(sheet, row->bez));
    return rows;
}

std::optional<Money> labourShare(const Sheet& sheet) {
    const NumberFormat format = sheet.numberFormat();
    const auto area = Money::parse(shown(sheet, FieldId::Dach14Ed), format);
    if (!area)
        return std::nullopt;
    constexpr std::pair<RowId, FieldId> kLayers[] = {{RowId::Panel11, FieldId::Summe10Ed},
                                                     {RowId::Panel12, FieldId::Summe11Ed},
                                                     {RowId::Panel13, FieldId::Summe12Ed}};
    Money perSquareMetre;
    for (const auto& [row, sum] : kLayers) {
        if (!sheet.shown(row))
            continue;
        const auto price = Money::parse(shown(sheet, sum), format);
        if (!price)
            return std::nullopt;
        perSquareMetre += *price;
    }
    // Hundredths of a euro times hundredths of a m²: ten-thousandths, rounded half away from
    // zero to the cent. Beyond what 64 bits hold there is no plain figure to print.
    constexpr std::int64_t kLimit = 3'000'000'000;
    if (std::abs(perSquareMetre.cents()) > kLimit || std::abs(area->cents()) > kLimit)
        return std::nullopt;
    const std::int64_t product = perSquareMetre.cents() * area->cents();
    const std::int64_t cents = (product >= 0 ? product + 50 : product - 50) / 100;
    return Money::fromCents(cents);
}

std::vector<std::u16string> recipientLines(const OfferChoices& choices) {
    std::vector<std::u16string> lines;
    if (std::u16string name = trimmed(choices.recipientName); !name.empty())
        lines.push_back(std::move(name));
    std::u16string_view rest = choices.recipientAddress;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(u'\n'), rest.size());
        if (std::u16string part = trimmed(rest.substr(0, end)); !part.empty())
            lines.push_back(std::move(part));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return lines;
}

std::vector<std::u16string> offerGaps(const Sheet& sheet, const OfferChoices& choices) {
    std::vector<std::u16string> gaps;
    if (trimmed(choices.recipientName).empty())
        gaps.emplace_back(u"Es ist kein Empfänger angegeben.");
    if (sheet.number(FieldId::Dach14Ed).GetValue() == 0)
        gaps.emplace_back(u"Die Dachfläche ist 0 m².");
    if (sheet.number(FieldId::Summe15Ed).GetValue() == 0)
        gaps.emplace_back(u"Der Nettobetrag ist 0,00 – das Angebot nennt keinen Preis.");
    if (choices.period.from.isSet() && choices.period.until.isSet() &&
        choices.period.until < choices.period.from)
        gaps.emplace_back(u"Der Ausführungszeitraum endet vor seinem Beginn.");
    if (std::u16string problem = instalmentsProblem(choices.instalments); !problem.empty())
        gaps.push_back(problem + u" Der Zahlungsplan wird nicht gedruckt.");
    return gaps;
}

namespace {

// One line of the building site's address.
std::u16string siteLine(std::u16string_view site) {
    std::u16string line;
    while (!site.empty()) {
        const std::size_t end = std::min(site.find(u'\n'), site.size());
        if (std::u16string part = trimmed(site.substr(0, end)); !part.empty())
            line += (line.empty() ? u"" : u", ") + part;
        site.remove_prefix(std::min(end + 1, site.size()));
    }
    return line;
}

// The paragraphs after the totals: the execution period, the terms and the payment plan.
// `toPay` is what the customer pays (nothing when the sheet shows no plain amount: the plan then
// names the percents only).
void addTerms(OfferDocument& offer, const Sheet& sheet, std::optional<Money> toPay) {
    const OfferChoices& c = offer.choices;
    const NumberFormat format = sheet.numberFormat();
    offer.site = siteLine(c.site);
    offer.period = executionPeriodText(c.period);
    std::u16string terms = u"Dieses Angebot ist gültig bis zum " + germanDate(c.validUntil) + u".";
    std::u16string payment = trimmed(offer.firm.paymentTerms);
    if (payment.empty())
        payment = FirmData::defaultPaymentTerms();
    for (const std::u16string& part :
         {payment, offer.firm.skontoSentence(), offer.firm.contractBasisSentence()})
        if (!part.empty())
            terms += u' ' + part;
    offer.terms = std::move(terms);
    if (c.instalments.empty() || !instalmentsProblem(c.instalments).empty())
        return;
    const auto part = [&](int percent, std::optional<Money> value) {
        std::u16string text = number(percent) + u" %";
        if (value)
            text += u" (" +
                    withCurrency(value->format(format, Grouping::Thousands), offer.currency) + u")";
        return text;
    };
    std::u16string plan = u"Zahlungsplan: ";
    int sum = 0;
    Money paid;
    for (std::size_t i = 0; i < c.instalments.size(); ++i) {
        const int percent = c.instalments[i];
        sum += percent;
        std::optional<Money> value;
        if (toPay) {
            // The last of instalments that make up the whole takes what rounding left, so that
            // the plan adds up to the cent.
            value = sum == 100 && i + 1 == c.instalments.size()
                        ? *toPay - paid
                        : toPay->percent(static_cast<std::int64_t>(percent) * 100);
            paid += *value;
        }
        if (i > 0)
            plan += u", ";
        plan +=
            number(static_cast<long long>(i) + 1) + u". Abschlagszahlung " + part(percent, value);
    }
    if (sum < 100)
        plan += u", Schlusszahlung " +
                part(100 - sum, toPay ? std::optional<Money>(*toPay - paid) : std::nullopt) +
                u" mit der Schlussrechnung";
    offer.paymentPlan = plan + u".";
}

} // namespace

OfferDocument buildOffer(const Sheet& sheet, const FirmData& firm, const OfferChoices& choices) {
    const NumberFormat format = sheet.numberFormat();
    OfferDocument offer;
    offer.firm = firm;
    offer.choices = choices;
    offer.currency = shown(sheet, FieldId::Waehr15Ed);
    const auto amount = [&](const std::u16string& text) {
        return withCurrency(groupedDecimal(text, format), offer.currency);
    };
    const std::u16string area = groupedDecimal(shown(sheet, FieldId::Dach14Ed), format);
    const std::u16string netText = shown(sheet, FieldId::Summe15Ed);
    const std::u16string grossText = shown(sheet, FieldId::BruttoEd);

    std::u16string workTitle = trimmed(choices.workTitle);
    if (workTitle.empty())
        workTitle = OfferChoices::defaultWorkTitle();
    offer.positions.push_back(
        {u"1", workTitle, area, u"m²", amount(shown(sheet, FieldId::Summe13Ed)), amount(netText)});
    if (!choices.summaryOnly) {
        long long n = 0;
        for (const DescribedRow* row : takingPart(sheet)) {
            OfferPosition position{
                u"1." + number(++n), shown(sheet, row->bez), area, u"m²", {}, {}};
            if (row->pieces) {
                const auto pieces =
                    piecesFor(shown(sheet, *row->pieces), shown(sheet, FieldId::Dach14Ed), format);
                position.quantity = pieces ? groupedDecimal(number(*pieces), format) : u"";
                position.unit = pieces ? u"Stk" : u"";
            }
            offer.positions.push_back(std::move(position));
        }
    }

    offer.net = amount(netText);
    offer.grossLabel = u"Gesamtbetrag";
    const auto labour = choices.privateCustomer ? labourShare(sheet) : std::nullopt;
    const auto labourText = [&](Money value) {
        return withCurrency(value.format(format, Grouping::Thousands), offer.currency);
    };
    if (choices.taxCase != TaxCase::Normal) {
        // No VAT is charged: the sheet's net is what the customer pays.
        offer.gross = offer.net;
        if (choices.taxCase == TaxCase::ReverseCharge) {
            offer.grossLabel = u"Angebotssumme (netto, ohne Umsatzsteuer)";
            offer.taxNote = u"Steuerschuldnerschaft des Leistungsempfängers (§ 13b UStG): Die "
                            u"Umsatzsteuer schuldet der Auftraggeber als Leistungsempfänger.";
        } else {
            offer.taxNote = u"Gemäß § 19 UStG wird keine Umsatzsteuer berechnet.";
        }
        if (labour && *labour != Money())
            offer.labourShare =
                u"Im Angebotspreis enthaltene Arbeitskosten: " + labourText(*labour) + u".";
        addTerms(offer, sheet, Money::parse(netText, format));
        return offer;
    }
    offer.gross = amount(grossText);
    offer.vatLabel =
        u"zzgl. MwSt. " + rateText(shown(sheet, FieldId::MwStEd), format.decimalSeparator) + u" %";
    if (labour && *labour != Money()) {
        const auto rate = Money::parse(shown(sheet, FieldId::MwStEd), format);
        const Money gross = *labour + labour->percent(rate ? rate->cents() : 0);
        offer.labourShare = u"Im Angebotspreis enthaltene Arbeitskosten: " + labourText(*labour) +
                            u" netto (" + labourText(gross) + u" brutto).";
    }
    // The difference of the two sums the sheet shows, so that the three lines always add up to
    // the cent; rounding the rate times the net a third time could miss by one.
    const auto net = Money::parse(netText, format);
    const auto gross = Money::parse(grossText, format);
    if (net && gross) {
        offer.vat =
            withCurrency((*gross - *net).format(format, Grouping::Thousands), offer.currency);
    } else {
        offer.vat = withCurrency(scientific(sheet.number(FieldId::BruttoEd).GetValue() -
                                            sheet.number(FieldId::Summe15Ed).GetValue()),
                                 offer.currency);
    }
    addTerms(offer, sheet, Money::parse(grossText, format));
    return offer;
}

std::u16string acceptanceText(const OfferDocument& offer) {
    const std::u16string firm = trimmed(offer.firm.name);
    std::u16string text = u"Hiermit beauftrage ich / beauftragen wir ";
    text += firm.empty() ? u"Sie" : u"die Firma " + firm;
    text += u" mit den Leistungen des Angebots";
    if (const std::u16string number = trimmed(offer.choices.number); !number.empty())
        text += u" Nr. " + number;
    text += u" vom " + germanDate(offer.choices.date) + u" zum Angebotspreis von " + offer.gross;
    if (offer.vatLabel.empty())
        text += offer.choices.taxCase == TaxCase::ReverseCharge ? u" netto" : u"";
    else
        text += u" einschließlich Umsatzsteuer";
    return text + u" zu den Bedingungen dieses Angebots.";
}

std::u16string suggestedOfferFileName(const OfferDocument& offer) {
    std::u16string name = u"Angebot";
    for (const std::u16string& part :
         {trimmed(offer.choices.number), trimmed(offer.choices.recipientName)})
        if (!part.empty())
            name += u' ' + part;
    std::u16string safe;
    for (const char16_t c : name) {
        if (c < 0x20 || std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos)
            safe.push_back(u'_');
        else
            safe.push_back(c);
    }
    return trimmed(std::u16string_view(safe).substr(0, 120)) + u".pdf";
}

} // namespace pyrelto
