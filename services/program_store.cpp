#include "program_store.h"

#include "customer_address_file.h"
#include "customer_file.h"
#include "qt_text.h"
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
    return toQString(text).toStdString();
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
    old.firmSettings = settingValues(toQString(kFirmDataGroup), kFirmSettingNames);
    const std::array<std::u16string_view, 1> offerNames{kLastNumberSetting};
    old.offerSettings = settingValues(toQString(kOfferGroup), offerNames);
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

namespace {

constexpr std::u16string_view kKindSetting = u"Art";
constexpr std::u16string_view kHostSetting = u"Host";
constexpr std::u16string_view kPortSetting = u"Port";
constexpr std::u16string_view kDatabaseSetting = u"Datenbank";
constexpr std::u16string_view kUserSetting = u"Benutzer";
constexpr std::u16string_view kTlsSetting = u"SSL";
constexpr std::u16string_view kServerKind = u"PostgreSQL";
constexpr std::u16string_view kLocalKind = u"Lokal";

// 'value' with \ and ' escaped, as libpq's connection strings take any text.
std::string quoted(const QString& value) {
    std::string text = "'";
    for (const char c : value.toStdString()) {
        if (c == '\\' || c == '\'')
            text += '\\';
        text += c;
    }
    return text + "'";
}

} // namespace

DatabaseChoice readDatabaseChoice(const SettingsStore& settings) {
    DatabaseChoice choice;
    const auto text = [&settings](std::u16string_view name) {
        const auto value = settings.readString(name);
        return value ? toQString(*value).trimmed() : QString();
    };
    choice.server = text(kKindSetting).toStdU16String() == kServerKind;
    choice.host = text(kHostSetting);
    bool ok = false;
    const int port = text(kPortSetting).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        choice.port = port;
    if (const QString database = text(kDatabaseSetting); !database.isEmpty())
        choice.database = database;
    choice.user = text(kUserSetting);
    choice.requireTls = text(kTlsSetting) == QStringLiteral("require");
    return choice;
}

bool writeDatabaseChoice(SettingsStore& settings, const DatabaseChoice& choice) {
    bool written = settings.writeString(kKindSetting, choice.server ? kServerKind : kLocalKind);
    written = settings.writeString(kHostSetting, choice.host.trimmed().toStdU16String()) && written;
    written = settings.writeString(kPortSetting, QString::number(choice.port).toStdU16String()) &&
              written;
    written = settings.writeString(kDatabaseSetting, choice.database.trimmed().toStdU16String()) &&
              written;
    written = settings.writeString(kUserSetting, choice.user.trimmed().toStdU16String()) && written;
    written =
        settings.writeString(kTlsSetting, choice.requireTls ? u"require" : u"prefer") && written;
    return settings.commit() && written;
}

std::string connectionString(const DatabaseChoice& choice) {
    std::string text;
    const auto add = [&text](const char* keyword, const QString& value) {
        if (value.trimmed().isEmpty())
            return;
        if (!text.empty())
            text += ' ';
        text += std::string(keyword) + "=" + quoted(value.trimmed());
    };
    add("host", choice.host);
    add("port", QString::number(choice.port));
    add("dbname", choice.database);
    add("user", choice.user);
    add("sslmode", choice.requireTls ? QStringLiteral("require") : QStringLiteral("prefer"));
    return text;
}

std::string storeUri(const DatabaseChoice& choice) {
    if (choice.server)
        return connectionString(choice);
    return utf8(GetProgramDir(false) + std::u16string(kStoreFileName));
}

std::string programStoreUri() {
    return storeUri(readDatabaseChoice(*programSettings(toQString(kDatabaseGroup))));
}

std::unique_ptr<Store> openProgramStore(const std::string& uri, StoreHooks hooks,
                                        QString* warning) {
    return adoptProgramStore(openStore(uri, std::move(hooks)), warning);
}

std::unique_ptr<Store> adoptProgramStore(std::unique_ptr<Store> store, QString* warning) {
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
