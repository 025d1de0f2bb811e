#include "calculation_file.h"

#include "number_checks.h"
#include "platform_file.h"
#include "safe_write.h"
#include "takeoff_chunk.h"
#include "utf16.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pyrelto {

namespace {

FieldKind kindAt(int index) {
    return fieldInfo(calculationFileOrder()[static_cast<std::size_t>(index)]).kind;
}

std::string entryName(int index) {
    std::array<char, 8> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), index + 1);
    return "Eintrag " + std::string(digits.data(), end.ptr) + " (" +
           std::string(fieldInfo(calculationFileOrder()[static_cast<std::size_t>(index)]).name) +
           ")";
}

std::int32_t countEntry(long double value) {
    const long double t = std::trunc(value);
    if (!(t >= std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (!(t <= std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(t);
}

// Refused before the disk is touched, with the same text whichever call would have met it.
void refuseLongName(std::u16string_view fname) {
    if (platform::nameTooLong(fname)) {
        throw IoError::native(platform::nameTooLongError());
    }
}

} // namespace

CalculationContent captureCalculation(const Sheet& sheet) {
    CalculationContent content;
    const auto order = calculationFileOrder();
    for (int i = 0; i < kFileEntryCount; ++i) {
        const FieldId id = order[static_cast<std::size_t>(i)];
        const auto index = static_cast<std::size_t>(i);
        switch (fieldInfo(id).kind) {
        case FieldKind::Text:
            content.texts[index] = sheet.text(id).text();
            break;
        case FieldKind::Count:
            content.numbers[index] = countEntry(sheet.number(id).GetValue());
            break;
        case FieldKind::Amount:
        case FieldKind::Pieces:
            content.numbers[index] =
                detail::toFileDouble(sheet.number(id).GetValue(), fieldInfo(id).name);
            break;
        }
    }
    return content;
}

void writeCalculation(ByteWriter& out, const CalculationContent& content) {
    for (int i = 0; i < content.entryCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        switch (kindAt(i)) {
        case FieldKind::Text:
            blockwriteStrU(out, content.texts[index]);
            break;
        case FieldKind::Count:
            writeInt32(out, static_cast<std::int32_t>(content.numbers[index]));
            break;
        case FieldKind::Amount:
        case FieldKind::Pieces:
            writeDouble(out, content.numbers[index]);
            break;
        }
    }
}

CalculationContent readCalculation(ByteReader& in) {
    CalculationContent content;
    for (int i = 0; i < kFileEntryCount; ++i) {
        if (i == kBaseSectionEntries && in.atEnd()) {
            content.entryCount = kBaseSectionEntries;
            break;
        }
        const auto index = static_cast<std::size_t>(i);
        switch (kindAt(i)) {
        case FieldKind::Text:
            content.texts[index] = blockreadStrU(in);
            break;
        case FieldKind::Count:
            content.numbers[index] = readInt32(in);
            break;
        case FieldKind::Amount:
            content.numbers[index] = readDouble(in);
            if (!std::isfinite(content.numbers[index])) {
                throw IoError::damaged("Datei beschädigt: " + entryName(i) +
                                       " ist keine gültige Zahl.");
            }
            break;
        case FieldKind::Pieces:
            content.numbers[index] = readDouble(in);
            if (!detail::isPiecesValue(content.numbers[index])) {
                throw IoError::damaged("Datei beschädigt: " + entryName(i) +
                                       " ist keine gültige Stückzahl.");
            }
            break;
        }
    }
    return content;
}

void applyCalculation(Sheet& sheet, const CalculationContent& content) {
    const auto order = calculationFileOrder();
    for (int i = 0; i < content.entryCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const FieldId id = order[index];
        if (fieldInfo(id).kind == FieldKind::Text) {
            sheet.text(id).setText(content.texts[index]);
        } else {
            sheet.number(id).SetValue(content.numbers[index]);
        }
    }
    sheet.runCountRules();
}

std::vector<ExtensionChunk> extensionChunks(const CalculationExtras& extras) {
    std::vector<ExtensionChunk> chunks;
    if (!extras.takeOff.empty()) {
        chunks.push_back({kTakeOffChunk, encodeTakeOff(extras.takeOff)});
    }
    if (hasRowArticles(extras.rowArticles)) {
        chunks.push_back({kArticleChunk, encodeRowArticles(extras.rowArticles)});
    }
    for (const ExtensionChunk& kept : extras.keptChunks) {
        if (kept.tag != kTakeOffChunk && kept.tag != kArticleChunk) {
            chunks.push_back(kept);
        }
    }
    return chunks;
}

CalculationExtras readCalculationExtras(std::span<const std::byte> rest,
                                        std::u16string_view fname) {
    CalculationExtras extras;
    if (rest.empty()) {
        return extras;
    }
    std::string problem;
    auto chunks = readExtensionBlock(rest, problem);
    if (chunks) {
        for (ExtensionChunk& chunk : *chunks) {
            try {
                if (chunk.tag == kTakeOffChunk) {
                    extras.takeOff = decodeTakeOff(chunk.data);
                } else if (chunk.tag == kArticleChunk) {
                    extras.rowArticles = decodeRowArticles(chunk.data);
                } else {
                    extras.keptChunks.push_back(std::move(chunk));
                }
            } catch (const IoError& e) {
                problem = e.what();
            }
        }
    }
    if (!problem.empty()) {
        extras.warning = "„" + toUtf8(fname) +
                         "“: Die Zusatzdaten nach der Kalkulation (z. B. das Aufmaß) konnten nicht "
                         "gelesen werden (" +
                         problem +
                         "). Die Kalkulation selbst ist vollständig geladen; beim Speichern über "
                         "diese Datei gehen die nicht gelesenen Daten verloren.";
    }
    return extras;
}

std::string unreadDataQuestion(std::u16string_view fname) {
    return "„" + toUtf8(fname) +
           "“ enthält Zusatzdaten (z. B. ein Aufmaß), die beim Öffnen nicht gelesen werden "
           "konnten. Beim Speichern gehen sie verloren. Trotzdem speichern?";
}

void savefile(const Sheet& sheet, std::u16string_view fname, const CalculationExtras& extras,
              std::optional<std::u16string_view> backup) {
    refuseLongName(fname);
    refuseChangedName(fname);
    // The whole image is made first, so a value no file can hold stops the save before the disk.
    if (!writeFileSafely(fname, calculationBytes(sheet, extras), backup)) {
        throw FileMessage::cannotCreate();
    }
}

CalculationExtras openfile(Sheet& sheet, std::u16string_view fname) {
    refuseLongName(fname);
    FileReader file;
    if (!file.open(fname)) {
        throw FileMessage::cannotOpen();
    }
    refuseOversizedFile(file.size(), kMaxCalculationFileBytes);
    const CalculationContent content = readCalculation(file);
    // Whatever follows entry 80 is read whole (the file's size is bounded) and judged apart: a
    // transfer failure still ends the open, but a damaged block only costs the extras.
    std::vector<std::byte> rest(static_cast<std::size_t>(file.remaining()));
    file.read(rest);
    CalculationExtras extras = readCalculationExtras(rest, fname);
    applyCalculation(sheet, content);
    return extras;
}

std::vector<std::byte> calculationBytes(const Sheet& sheet, const CalculationExtras& extras) {
    MemoryWriter image;
    writeCalculation(image, captureCalculation(sheet));
    writeExtensionBlock(image, extensionChunks(extras));
    return image.bytes();
}

CalculationExtras openCalculationBytes(Sheet& sheet, std::span<const std::byte> bytes,
                                       std::u16string_view name) {
    refuseOversizedFile(bytes.size(), kMaxCalculationFileBytes);
    MemoryReader in(bytes);
    const CalculationContent content = readCalculation(in);
    CalculationExtras extras =
        readCalculationExtras(bytes.subspan(bytes.size() - in.remaining()), name);
    applyCalculation(sheet, content);
    return extras;
}

} // namespace pyrelto
