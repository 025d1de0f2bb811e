#include "settings_store.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pyrelto {

// ---- MemorySettingsStore ----

SettingsStore::ValueKind MemorySettingsStore::kind(std::u16string_view name) const {
    const auto it = values.find(name);
    return it == values.end() ? ValueKind::Missing : it->second.kind;
}

std::optional<std::u16string> MemorySettingsStore::readString(std::u16string_view name) const {
    const auto it = values.find(name);
    if (it == values.end() || it->second.kind != ValueKind::String)
        return std::nullopt;
    return it->second.text;
}

bool MemorySettingsStore::writeString(std::u16string_view name, std::u16string_view value) {
    if (std::find(refusedWrites.begin(), refusedWrites.end(), name) != refusedWrites.end())
        return false;
    setString(name, value);
    writeLog.emplace_back(name);
    return true;
}

void MemorySettingsStore::setString(std::u16string_view name, std::u16string_view value) {
    values.insert_or_assign(std::u16string(name), Value{ValueKind::String, std::u16string(value)});
}

void MemorySettingsStore::setOther(std::u16string_view name) {
    values.insert_or_assign(std::u16string(name), Value{ValueKind::Other, {}});
}

// ---- QtSettingsStore ----

QString QtSettingsStore::executableBaseName() {
    // completeBaseName drops only the last suffix: "calc.exe" and "calc" both give "calc".
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

std::unique_ptr<QtSettingsStore> QtSettingsStore::forExecutable(const QString& baseName,
                                                                const QString& group) {
#ifdef Q_OS_WIN
    return std::unique_ptr<QtSettingsStore>(new QtSettingsStore(
        Backing::Native, QStringLiteral("HKEY_CURRENT_USER\\Software\\") + baseName, group));
#else
    // The file QSettings would choose itself, but looked up on every call: QSettings remembers
    // the configuration folder of the first use for the rest of the process.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QtSettingsStore>(
        folder + QLatin1Char('/') + baseName + QStringLiteral(".conf"), group);
#endif
}

QtSettingsStore::QtSettingsStore(const QString& path, const QString& group)
    : QtSettingsStore(Backing::IniFile, path, group) {}

QtSettingsStore::QtSettingsStore(Backing backing, const QString& location, const QString& group)
    : backing_(backing), location_(location), group_(group), settings_(open()) {}

QtSettingsStore::~QtSettingsStore() = default;

QtSettingsStore::FileState QtSettingsStore::fileState() const {
    if (backing_ != Backing::IniFile)
        return FileState::Writable;
#ifdef Q_OS_WIN
    // Only tests use a settings file here; the program's settings are in the registry.
    const QFileInfo file(location_);
    if (!file.exists())
        return file.isSymLink() ? FileState::Refused : FileState::Writable;
    if (!file.isFile())
        return FileState::Refused;
    return file.isWritable() ? FileState::Writable : FileState::ReadOnly;
#else
    const QByteArray name = QFile::encodeName(location_);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        // No file yet is a first run; anything else (a dangling link, a folder closed to us) is
        // nothing QSettings could use.
        struct stat link {};
        return errno == ENOENT && ::lstat(name.constData(), &link) != 0 ? FileState::Writable
                                                                        : FileState::Refused;
    }
    // Opening a pipe blocks until a writer comes, and QSettings would write a device over with a
    // plain file: only a regular file is ours.
    if (!S_ISREG(st.st_mode))
        return FileState::Refused;
    // No write bit at all is the user's protection, which the superuser's access must not pass:
    // QSettings would replace the file by a new, writable one.
    if ((st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0)
        return FileState::ReadOnly;
    return FileState::Writable;
#endif
}

std::unique_ptr<QSettings> QtSettingsStore::open() const {
    if (fileState() == FileState::Refused)
        return nullptr;
    QString location = location_;
    // QSettings writes a new file and renames it over the name: through a link, the file it
    // points to is the one to replace, and the link stays.
    if (backing_ == Backing::IniFile && QFileInfo(location_).isSymLink())
        location = QFileInfo(location_).canonicalFilePath();
    auto settings = std::make_unique<QSettings>(
        location, backing_ == Backing::IniFile ? QSettings::IniFormat : QSettings::NativeFormat);
    settings->beginGroup(group_);
    return settings;
}

std::optional<QString> QtSettingsStore::text(std::u16string_view name) const {
    if (!settings_)
        return std::nullopt;
    const QVariant value = settings_->value(QStringView(name));
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    // A settings file keeps no types: a line typed by hand as NormPos=100,50,900 comes back as a
    // list only because of its commas. The registry's multi-string type is a real other type.
    if (backing_ == Backing::IniFile && value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return std::nullopt;
}

SettingsStore::ValueKind QtSettingsStore::kind(std::u16string_view name) const {
    if (!settings_ || !settings_->contains(QStringView(name)))
        return ValueKind::Missing;
    return text(name) ? ValueKind::String : ValueKind::Other;
}

std::optional<std::u16string> QtSettingsStore::readString(std::u16string_view name) const {
    if (auto value = text(name))
        return value->toStdU16String();
    return std::nullopt;
}

bool QtSettingsStore::writeString(std::u16string_view name, std::u16string_view value) {
    // QSettings keeps its first error for good, and a new QSettings on the same file inherits the
    // unwritten changes of one still alive: after a failure the old view goes first, and the next
    // attempt (the save at destroy) starts from a fresh one.
    // A value given to QSettings is written at its next sync whatever we decide later, so the file
    // is checked before it gets any.
    if (fileState() != FileState::Writable)
        return false;
    if (failed_ || !settings_) {
        settings_.reset();
        settings_ = open();
        failed_ = false;
        if (!settings_)
            return false;
    }
    settings_->setValue(QStringView(name), QStringView(value).toString());
    return true;
}

bool QtSettingsStore::commit() {
    if (!settings_)
        return false;
    // One sync for all values: each one writes and syncs the whole file.
    settings_->sync();
    // A line of the file that QSettings could not read leaves FormatError for good, even after
    // the file has been written anew, and it would then hide a failed write as well. A fresh view
    // reads what is on disk now: clean when the write went through, still unreadable otherwise.
    if (settings_->status() == QSettings::FormatError) {
        settings_.reset();
        settings_ = open();
    }
    failed_ = !settings_ || settings_->status() != QSettings::NoError;
    return !failed_;
}

std::unique_ptr<SettingsStore> programSettings(const QString& group) {
    QString base = QtSettingsStore::executableBaseName();
    if (base.endsWith(QStringLiteral("-cli")))
        base.chop(4);
    return QtSettingsStore::forExecutable(base, group);
}

} // namespace pyrelto
