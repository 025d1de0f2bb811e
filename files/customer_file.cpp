#include "customer_file.h"

#include "platform_file.h"
#include "safe_write.h"

#include <algorithm>
#include <limits>

namespace pyrelto {

std::u16string GetProgramDir(bool create) {
    return platform::programDataFolder(create);
}

DamagedCustomerFile::DamagedCustomerFile(const IoError& cause,
                                         std::vector<std::u16string> namesBefore, bool countRead)
    : IoError(cause),
      names_(std::make_shared<const std::vector<std::u16string>>(std::move(namesBefore))),
      countRead_(countRead) {}

std::vector<std::u16string> readCustomerNames(ByteReader& in) {
    std::int32_t count = 0;
    try {
        count = readInt32(in);
    } catch (const IoError& e) {
        throw DamagedCustomerFile(e, {}, false);
    }
    // The count is untrusted: room is made for no more names than the rest of the file can hold
    // (every name takes at least 4 bytes), so a huge count costs no memory, and a long list is not
    // moved again and again as it grows.
    std::vector<std::u16string> names;
    if (count > 0)
        names.reserve(static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(count), in.remaining() / 4)));
    for (std::int32_t i = 0; i < count; ++i) {
        try {
            names.push_back(blockreadStrU(in));
        } catch (const IoError& e) {
            throw DamagedCustomerFile(e, std::move(names), true);
        }
    }
    return names;
}

void writeCustomerNames(ByteWriter& out, std::span<const std::u16string> names) {
    if (names.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw IoError::damaged("Zu viele Namen für die Datei");
    }
    writeInt32(out, static_cast<std::int32_t>(names.size()));
    for (const auto& name : names) {
        blockwriteStrU(out, name);
    }
}

std::optional<std::vector<std::u16string>> readCustomerFile(std::u16string_view fname) {
    FileReader file;
    if (!file.open(fname)) {
        return std::nullopt;
    }
    try {
        refuseOversizedFile(file.size(), kMaxCustomerFileBytes);
    } catch (const IoError& e) {
        throw DamagedCustomerFile(e, {}, false);
    }
    return readCustomerNames(file);
}

bool writeCustomerFile(std::u16string_view fname, std::span<const std::u16string> names,
                       bool keepDamaged) {
    // Measured before the image exists: a list beyond the bound must not take its memory first.
    std::uint64_t size = 4;
    for (const auto& name : names) {
        size += 4 + std::uint64_t{2} * name.size();
    }
    if (size > kMaxCustomerFileBytes) {
        throw IoError::damaged("Die Kundenliste ist zu groß für die Datei.");
    }
    MemoryWriter image;
    writeCustomerNames(image, names);
    if (!keepDamaged) {
        return writeFileSafely(fname, image.bytes());
    }
    const std::u16string backup =
        std::u16string(fname) + std::u16string(kDamagedCustomerFileSuffix);
    return writeFileSafely(fname, image.bytes(), backup);
}

} // namespace pyrelto
