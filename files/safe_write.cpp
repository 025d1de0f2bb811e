#include "safe_write.h"

#include "file_message.h"
#include "leftover_temporaries.h"
#include "platform_file.h"

namespace pyrelto {

namespace {

// Set by a test only, to stop the process where a crash would hurt most.
void (*afterBackupHook)() = nullptr;

} // namespace

struct SafeWrite::Open {
    platform::WriteTarget target;
    platform::Temporary temp;
};

SafeWrite::SafeWrite() = default;

SafeWrite::~SafeWrite() {
    discard();
}

void SafeWrite::discard() noexcept {
    if (!open_) {
        return;
    }
    // Set only until the commit's rename: the temporary is still ours to remove.
    platform::closeHandle(open_->temp.handle);
    platform::removeFile(open_->temp.name);
    open_.reset();
}

bool SafeWrite::open(std::u16string_view target) {
    if (open_ || committed_) {
        return false;
    }
    auto prepared = platform::prepareWriteTarget(target);
    if (!prepared) {
        return false;
    }
    // Before our own temporary takes room: leftovers of killed saves may be what fills the disk.
    removeLeftoverTemporaries(prepared->folder);
    auto temp = platform::createTemporary(*prepared);
    if (!temp) {
        return false;
    }
    open_ = std::make_unique<Open>(Open{std::move(*prepared), std::move(*temp)});
    return true;
}

void SafeWrite::write(std::span<const std::byte> bytes) {
    // Every failure and the commit end the open state, so an open SafeWrite has its handle.
    if (!open_) {
        throw IoError::native(platform::badHandleError());
    }
    try {
        platform::writeAll(open_->temp.handle, bytes);
    } catch (const IoError&) {
        discard();
        throw;
    }
}

void SafeWrite::commit(std::optional<std::u16string_view> backup) {
    // Every failure and the commit end the open state, so an open SafeWrite has its handle.
    if (!open_) {
        throw IoError::native(platform::badHandleError());
    }
    const platform::Handle handle = open_->temp.handle;
    // flushAndClose closes in any case; discard() must not close the handle a second time.
    open_->temp.handle = platform::kNoHandle;
    try {
        platform::flushAndClose(handle);
    } catch (const IoError&) {
        discard();
        throw;
    }
    const auto& target = open_->target.target;
    if (backup) {
        const auto backupName = platform::nativeName(*backup);
        if (!backupName) {
            discard();
            throw IoError::native(platform::invalidNameError());
        }
        // Moving the target aside would leave a moment without it, and a crash in that moment
        // would leave no file at all: the backup is a second name (or a copy) made beforehand.
        try {
            const platform::NativeName backupFolder = platform::folderOf(*backupName);
            if (const auto duplicate = platform::duplicateFile(target, backupFolder)) {
                if (!platform::moveReplacing(*duplicate, *backupName)) {
                    const int error = platform::lastError();
                    platform::removeFile(*duplicate);
                    throw IoError::native(error);
                }
                platform::syncFolder(backupFolder);
            }
        } catch (...) {
            discard();
            throw;
        }
        if (afterBackupHook != nullptr) {
            afterBackupHook();
        }
    }
    if (!platform::moveReplacing(open_->temp.name, target)) {
        const int error = platform::lastError();
        discard();
        throw IoError::native(error);
    }
    committed_ = true;
    platform::syncFolder(open_->target.folder);
    open_.reset();
}

void refuseChangedName(std::u16string_view target) {
    if (platform::changesName(target)) {
        throw FileMessage::cannotCreate("Der Name endet auf einen Punkt oder ein Leerzeichen, die "
                                        "Windows beim Speichern wegließe.");
    }
}

void detail::setAfterBackupHook(void (*hook)()) noexcept {
    afterBackupHook = hook;
}

bool writeFileSafely(std::u16string_view target, std::span<const std::byte> bytes,
                     std::optional<std::u16string_view> backup) {
    SafeWrite file;
    if (!file.open(target)) {
        return false;
    }
    file.write(bytes);
    file.commit(backup);
    return true;
}

} // namespace pyrelto
