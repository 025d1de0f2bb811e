#pragma once
// The contractor's own data for the letterhead, the information block and the footer of every
// document, and the check of the bank account printed in it.

#include <string>
#include <string_view>

namespace pyrelto {

// On which law the contract rests; the offer's terms name it.
enum class ContractBasis { None, VobB, Bgb };

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
    // Skonto: the percent ("2", "2,5") and the days within which it may be taken; no Skonto while
    // either is empty.
    std::u16string skontoPercent;
    std::u16string skontoDays;
    // The legal form as written after the name ("GmbH", "UG (haftungsbeschränkt)", "KG"); empty
    // for a sole trader, whose `contact` the footer names as "Inhaber".
    std::u16string legalForm;
    std::u16string registeredSeat;   // the company's seat, "Köln" (Sitz der Gesellschaft)
    std::u16string registerCourt;    // "Amtsgericht Köln"
    std::u16string registerNumber;   // "HRB 12345"
    std::u16string managingDirector; // the company's managing directors, as written
    ContractBasis contractBasis = ContractBasis::None;

    // The texts a German contractor would write when none are stored yet.
    static std::u16string defaultPaymentTerms();
    static std::u16string defaultClosingText();
    bool hasLetterhead() const;
    // A company (a legal form given) has managing directors and a register entry; only a sole
    // trader has an "Inhaber".
    bool isCompany() const;
    // "2 % Skonto bei Zahlung innerhalb von 10 Tagen."; empty without Skonto.
    std::u16string skontoSentence() const;
    // The sentence of the terms naming the contract's basis; empty for ContractBasis::None.
    std::u16string contractBasisSentence() const;
};

// The stored word of a contract basis ("VOB/B", "BGB", empty) and back; an unknown word is None.
std::u16string contractBasisText(ContractBasis basis);
ContractBasis contractBasisFromText(std::u16string_view text);

// Empty when `percent` and `days` make a Skonto the offer can print (both empty, or a percent
// above 0 and below 100 with at most two decimals and whole days from 1 to 365); otherwise the
// German message for the user.
std::u16string skontoProblem(std::u16string_view percent, std::u16string_view days);

// Empty when `iban` is a well-formed IBAN with correct check digits (spaces allowed); otherwise
// the German message for the user.
std::u16string ibanProblem(std::u16string_view iban);
// The IBAN in groups of four, as it is printed.
std::u16string groupedIban(std::u16string_view iban);

} // namespace pyrelto
