#include "firm_data.h"

#include "text.h"

namespace pyrelto {

namespace {

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::u16string compactIban(std::u16string_view iban) {
    std::u16string compact;
    for (const char16_t c : iban)
        if (!isSpace(c))
            compact.push_back(upper(c));
    return compact;
}

bool isLetter(char16_t c) {
    return c >= u'A' && c <= u'Z';
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::u16string FirmData::defaultPaymentTerms() {
    return u"Zahlbar innerhalb von 14 Tagen nach Rechnungsstellung ohne Abzug. "
           u"Abgerechnet wird nach tatsächlichem Aufmaß.";
}

std::u16string FirmData::defaultClosingText() {
    return u"Wir würden uns freuen, diesen Auftrag für Sie ausführen zu dürfen. Für "
           u"Rückfragen stehen wir Ihnen jederzeit gerne zur Verfügung.\n\n"
           u"Mit freundlichen Grüßen";
}

bool FirmData::hasLetterhead() const {
    return !trimmed(name).empty();
}

bool FirmData::isCompany() const {
    return !trimmed(legalForm).empty();
}

std::u16string FirmData::skontoSentence() const {
    const std::u16string percent = trimmed(skontoPercent);
    const std::u16string days = trimmed(skontoDays);
    if (percent.empty() || days.empty())
        return {};
    return percent + u" % Skonto bei Zahlung innerhalb von " + days +
           (days == u"1" ? u" Tag." : u" Tagen.");
}

std::u16string FirmData::contractBasisSentence() const {
    switch (contractBasis) {
    case ContractBasis::VobB:
        return u"Vertragsgrundlage ist die VOB/B in der bei Vertragsschluss gültigen Fassung.";
    case ContractBasis::Bgb:
        return u"Vertragsgrundlage sind die Vorschriften des BGB über den Werkvertrag "
               u"(§§ 631 ff. BGB).";
    case ContractBasis::None:
        break;
    }
    return {};
}

std::u16string contractBasisText(ContractBasis basis) {
    switch (basis) {
    case ContractBasis::VobB:
        return u"VOB/B";
    case ContractBasis::Bgb:
        return u"BGB";
    case ContractBasis::None:
        break;
    }
    return {};
}

ContractBasis contractBasisFromText(std::u16string_view text) {
    const std::u16string word = trimmed(text);
    if (word == u"VOB/B")
        return ContractBasis::VobB;
    if (word == u"BGB")
        return ContractBasis::Bgb;
    return ContractBasis::None;
}

std::u16string skontoProblem(std::u16string_view percent, std::u16string_view days) {
    const std::u16string p = trimmed(percent);
    const std::u16string d = trimmed(days);
    if (p.empty() && d.empty())
        return {};
    if (p.empty() || d.empty())
        return u"Für das Skonto fehlen Prozentsatz oder Frist: Bitte beides angeben oder beides "
               u"leer lassen.";
    // Up to two digits, optionally a comma and up to two decimals: 0 < percent < 100.
    std::size_t i = 0;
    bool nonZero = false;
    while (i < p.size() && isDigit(p[i]))
        nonZero |= p[i++] != u'0';
    const std::size_t whole = i;
    std::size_t decimals = 0;
    if (i < p.size() && p[i] == u',') {
        for (++i; i < p.size() && isDigit(p[i]); ++i, ++decimals)
            nonZero |= p[i] != u'0';
    }
    if (whole == 0 || whole > 2 || decimals > 2 || i != p.size() || !nonZero ||
        (p.find(u',') != std::u16string::npos && decimals == 0))
        return u"Der Skonto-Satz „" + p +
               u"“ ist kein Prozentsatz zwischen 0 und 100 (zum "
               u"Beispiel 2 oder 2,5).";
    int dayCount = 0;
    for (const char16_t c : d) {
        if (!isDigit(c) || dayCount > 365)
            return u"Die Skonto-Frist „" + d + u"“ ist keine Zahl von Tagen (1 bis 365).";
        dayCount = dayCount * 10 + (c - u'0');
    }
    if (dayCount < 1 || dayCount > 365 || d.front() == u'0')
        return u"Die Skonto-Frist „" + d + u"“ ist keine Zahl von Tagen (1 bis 365).";
    return {};
}

std::u16string ibanProblem(std::u16string_view iban) {
    const std::u16string compact = compactIban(iban);
    if (compact.empty())
        return {};
    // Appended piece by piece: GCC 12's -Wrestrict misreads literal + temporary in Release.
    std::u16string quoted = u"„";
    quoted += trimmed(iban);
    quoted += u"“";
    std::u16string shape = u"Die IBAN " + quoted +
                           u" ist keine gültige IBAN: Sie beginnt mit zwei Buchstaben für "
                           u"das Land und zwei Prüfziffern, danach folgen bis zu 30 "
                           u"Buchstaben oder Ziffern.";
    if (compact.size() < 15 || compact.size() > 34 || !isLetter(compact[0]) ||
        !isLetter(compact[1]) || !isDigit(compact[2]) || !isDigit(compact[3]))
        return shape;
    // ISO 13616: the first four characters moved to the end, letters as 10 to 35, the whole
    // number modulo 97 must be 1.
    const std::u16string moved = compact.substr(4) + compact.substr(0, 4);
    int remainder = 0;
    for (const char16_t c : moved) {
        if (isDigit(c))
            remainder = (remainder * 10 + (c - u'0')) % 97;
        else if (isLetter(c))
            remainder = (remainder * 100 + (c - u'A' + 10)) % 97;
        else
            return shape;
    }
    if (remainder != 1)
        return u"Die IBAN " + quoted +
               u" ist nicht gültig: Die Prüfziffern passen nicht zur Kontonummer. Bitte prüfen "
               u"Sie die Eingabe auf Tippfehler.";
    return {};
}

std::u16string groupedIban(std::u16string_view iban) {
    const std::u16string compact = compactIban(iban);
    std::u16string out;
    for (std::size_t i = 0; i < compact.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            out.push_back(u' ');
        out.push_back(compact[i]);
    }
    return out;
}

} // namespace pyrelto
