#include "take_over.h"

#include "customer_address_file.h"
#include "torvane.h"
#include "utf16.h"

#include <array>
#include <charconv>

namespace pyrelto {

namespace {

// The names of the old "Firmendaten" group; the store keeps them as its own names.
constexpr std::array<std::string_view, 14> kFirmNames{"Firma",
                                                      "Ansprechpartner",
                                                      "Strasse",
                                                      "PlzOrt",
                                                      "Telefon",
                                                      "EMail",
                                                      "Web",
                                                      "SteuerNr",
                                                      "Kontoinhaber",
                                                      "IBAN",
                                                      "BIC",
                                                      "Logo",
                                                      "Zahlungsbedingungen",
                                                      "Schlusstext"};

// "2026-014" → (2026, 14); nothing for other forms.
std::optional<std::pair<int, std::int64_t>> yearlyNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.size() < 6 || text.size() > 14 || text[4] != '-')
        return std::nullopt;
    int year = 0;
    std::int64_t value = 0;
    const auto y = std::from_chars(text.data(), text.data() + 4, year);
    const auto n = std::from_chars(text.data() + 5, text.data() + text.size(), value);
    if (y.ptr != text.data() + 4 || y.ec != std::errc() || n.ec != std::errc() ||
        n.ptr != text.data() + text.size() || text[5] == '-' || text[5] == '+' || value < 0)
        return std::nullopt;
    return std::pair{year, value};
}

} // namespace

bool takeOverOldData(Store& store, const OldProgramData& old) {
    Store::TakeOver data;
    for (const std::string_view name : kFirmNames)
        if (const auto it = old.firmSettings.find(name); it != old.firmSettings.end())
            data.firmData.emplace(name, it->second);
    if (const auto it = old.offerSettings.find("LetzteNummer"); it != old.offerSettings.end())
        data.offerCounter = yearlyNumber(it->second);
    if (!old.addressFile.empty()) {
        try {
            if (const auto addresses = readCustomerAddresses(fromUtf8(old.addressFile)))
                for (const auto& [customer, address] : *addresses)
                    data.addresses.emplace(toUtf8(customer), toUtf8(address));
        } catch (const IoError& error) {
            throw StoreError(StoreError::Kind::Refused,
                             "Die Adressdatei „" + old.addressFile +
                                 "“ ist beschädigt und wurde nicht übernommen: " + error.what());
        }
    }
    data.customers = old.customers;
    return store.takeOver(data);
}

} // namespace pyrelto
