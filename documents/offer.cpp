#include "offer.h"

#include "field_catalogue.h"
#include "money.h"
#include "sheet.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>

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
    return gaps;
}

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
    offer.gross = amount(grossText);
    offer.vatLabel =
        u"zzgl. MwSt. " + rateText(shown(sheet, FieldId::MwStEd), format.decimalSeparator) + u" %";
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
    return offer;
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
