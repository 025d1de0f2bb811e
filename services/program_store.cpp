#include "program_store.h"

#include "customer_address_file.h"
#include "customer_file.h"
#include "settings_store.h"
#include "take_over.h"

#include <array>

namespace pyrelto {

namespace {

// The names of the old settings the take-over reads.
constexpr std::array<std::u16string_view, 14> kFirmSettingNames{u"Firma",
                                                                u"Ansprechpartner",
                                                                u"Strasse",
                                                                u"PlzOrt",
                                                                u"Telefon",
                                                                u"EMail",
                                                                u"Web",
                                                                u"SteuerNr",
                                                                u"Kontoinhaber",
                                                                u"IBAN",
                                                                u"BIC",
                                                                u"Logo",
                                                                u"Zahlungsbedingungen",
                                                                u"Schlusstext"};
constexpr std::u16string_view kLastNumberSetting = u"LetzteNummer";

std::string utf8(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::map<std::string, std::string, std::less<>>
settingValues(const QString& group, std::span<const std::u16string_view> names) {
    const auto settings = programSettings(group);
    std::map<std::string, std::string, std::less<>> values;
    for (const std::u16string_view name : names)
        if (const auto value = settings->readString(name))
            values.emplace(utf8(name), utf8(*value));
    return values;
}

OldProgramData oldProgramData() {
    OldProgramData old;
    const std::u16string folder = GetProgramDir(false);
    old.addressFile = utf8(folder + std::u16string(kCustomerAddressFileName));
    old.firmSettings = settingValues(QString::fromUtf16(kFirmDataGroup), kFirmSettingNames);
    const std::array<std::u16string_view, 1> offerNames{kLastNumberSetting};
    old.offerSettings = settingValues(QString::fromUtf16(kOfferGroup), offerNames);
    try {
        if (const auto names = readCustomerFile(folder + std::u16string(kCustomerFileName)))
            for (const std::u16string& name : *names)
                old.customers.push_back(utf8(name));
    } catch (const IoError&) {
        // A damaged list keeps its names for the window, which reads it as before; the shared
        // list goes without them.
    }
    return old;
}

} // namespace

std::string programStoreUri() {
    return utf8(GetProgramDir(false) + std::u16string(kStoreFileName));
}

std::unique_ptr<Store> openProgramStore(const std::string& uri, StoreHooks hooks,
                                        QString* warning) {
    auto store = openStore(uri, std::move(hooks));
    OldProgramData old = oldProgramData();
    try {
        takeOverOldData(*store, old);
    } catch (const StoreError& error) {
        if (error.kind() != StoreError::Kind::Refused || old.addressFile.empty())
            throw;
        // A damaged address file cannot be read now or later; the firm data and above all the
        // last offer number must not wait for it, or numbers would be handed out twice.
        old.addressFile.clear();
        if (takeOverOldData(*store, old) && warning)
            *warning = QString::fromStdString(error.what());
    }
    return store;
}

} // namespace pyrelto
