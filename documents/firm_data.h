#pragma once
// The contractor's own data for the letterhead, the information block and the footer of every
// document, and the check of the bank account printed in it.

#include <string>
#include <string_view>

namespace pyrelto {

struct FirmData {
    std::u16string name;
    std::u16string contact; // owner or contact person
    std::u16string street;
    std::u16string postcodeTown;
    std::u16string phone;
    std::u16string email;
    std::u16string web;
    std::u16string taxId; // tax number or VAT id
    std::u16string accountHolder;
    std::u16string iban;
    std::u16string bic;
    std::u16string logoPath; // the copy in the program data folder; empty for none
    std::u16string paymentTerms;
    std::u16string closingText;

    // The texts a German contractor would write when none are stored yet.
    static std::u16string defaultPaymentTerms();
    static std::u16string defaultClosingText();
    bool hasLetterhead() const;
};

// Empty when `iban` is a well-formed IBAN with correct check digits (spaces allowed); otherwise
// the German message for the user.
std::u16string ibanProblem(std::u16string_view iban);
// The IBAN in groups of four, as it is printed.
std::u16string groupedIban(std::u16string_view iban);

} // namespace pyrelto
