#pragma once
// The store the main window keeps its settings in between runs: one section of named values. Our
// own values are always strings; anything else found there was put in by hand or by another
// program, and the caller decides what to make of it (see SettingsStore::kind).

#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSettings;

namespace pyrelto {

class SettingsStore {
public:
    enum class ValueKind { Missing, String, Other };

    virtual ~SettingsStore() = default;

    virtual ValueKind kind(std::u16string_view name) const = 0;
    // The text of a string value; nothing when the value is missing or not a string.
    virtual std::optional<std::u16string> readString(std::u16string_view name) const = 0;
    // Stores a string value; false when the store refused it. Whether it lasts is known only
    // after commit().
    virtual bool writeString(std::u16string_view name, std::u16string_view value) = 0;
    // Makes the values written so far durable; false when they could not be.
    virtual bool commit() { return true; }
};

// The store for tests and for runs that must not touch the user's settings.
class MemorySettingsStore final : public SettingsStore {
public:
    struct Value {
        ValueKind kind = ValueKind::String;
        std::u16string text;
    };

    ValueKind kind(std::u16string_view name) const override;
    std::optional<std::u16string> readString(std::u16string_view name) const override;
    bool writeString(std::u16string_view name, std::u16string_view value) override;

    void setString(std::u16string_view name, std::u16string_view value);
    // A value of a type other than string, as a hand-edited registry may hold.
    void setOther(std::u16string_view name);

    std::map<std::u16string, Value, std::less<>> values;
    // Every name written, in the order of writing.
    std::vector<std::u16string> writeLog;
    // Names whose write is refused, to stand for a store that cannot be written.
    std::vector<std::u16string> refusedWrites;
};

// The store on QSettings, inside one group.
class QtSettingsStore final : public SettingsStore {
public:
    // The running program's own store: on Windows the registry key
    // HKEY_CURRENT_USER\Software\<base name>, elsewhere the file <base name>.conf in the user's
    // configuration folder ($XDG_CONFIG_HOME, ~/.config by default); `baseName` is the
    // executable's file name without folder and extension.
    static std::unique_ptr<QtSettingsStore> forExecutable(const QString& baseName,
                                                          const QString& group);
    // The executable's base name as that store uses it.
    static QString executableBaseName();

    // A settings file in INI format at `path`. The rules of the data files hold for it: only a
    // regular file (or a link to one) is read or written, so a folder, device or pipe under the
    // name reads as empty and refuses every write without ever being opened; a write-protected
    // file is read but refuses every write; a link is written through, never replaced.
    QtSettingsStore(const QString& path, const QString& group);
    ~QtSettingsStore() override;

    ValueKind kind(std::u16string_view name) const override;
    std::optional<std::u16string> readString(std::u16string_view name) const override;
    bool writeString(std::u16string_view name, std::u16string_view value) override;
    bool commit() override;

private:
    // Native is the Windows registry; everywhere else the store is a settings file.
    enum class Backing { IniFile, Native };
    QtSettingsStore(Backing backing, const QString& location, const QString& group);
    // What the settings file's name stands for now.
    enum class FileState { Writable, ReadOnly, Refused };
    FileState fileState() const;
    // Nothing when the name stands for no file QSettings may open.
    std::unique_ptr<QSettings> open() const;
    std::optional<QString> text(std::u16string_view name) const;

    Backing backing_;
    QString location_;
    QString group_;
    std::unique_ptr<QSettings> settings_; // null while the file is refused
    bool failed_ = false;
};

// The user's settings store, in `group`, of the desktop program: the command-line driver
// ("pyrelto-cli") reads and writes the program's ("pyrelto").
std::unique_ptr<SettingsStore> programSettings(const QString& group);

} // namespace pyrelto
