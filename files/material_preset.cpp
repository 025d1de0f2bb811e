#include "material_preset.h"

#include "number_checks.h"
#include "safe_write.h"

#include <cmath>
#include <stdexcept>

namespace pyrelto {

namespace {

const MaterialRow& materialRow(int row) {
    if (row < 0 || row >= static_cast<int>(materialRows().size())) {
        throw std::out_of_range("material row");
    }
    return materialRows()[static_cast<std::size_t>(row)];
}

void checkFinite(const MaterialPreset& preset) {
    for (const double v : {preset.list, preset.rab, preset.ek, preset.ver, preset.sum}) {
        if (!std::isfinite(v)) {
            throw IoError::damaged("Material beschädigt: keine gültige Zahl.");
        }
    }
}

} // namespace

void writeMaterialPreset(ByteWriter& out, const MaterialPreset& preset) {
    checkFinite(preset);
    blockwriteStrU(out, preset.bez);
    for (const double v : {preset.list, preset.rab, preset.ek, preset.ver, preset.sum}) {
        writeDouble(out, v);
    }
}

MaterialPreset readMaterialPreset(ByteReader& in) {
    MaterialPreset preset;
    preset.bez = blockreadStrU(in);
    for (double* v : {&preset.list, &preset.rab, &preset.ek, &preset.ver, &preset.sum}) {
        *v = readDouble(in);
    }
    checkFinite(preset);
    return preset;
}

void savemat(std::u16string_view fname, const MaterialPreset& preset) {
    refuseChangedName(fname);
    MemoryWriter image;
    writeMaterialPreset(image, preset);
    if (!writeFileSafely(fname, image.bytes())) {
        throw FileMessage::cannotCreate();
    }
}

MaterialPreset loademat(std::u16string_view fname) {
    FileReader file;
    if (!file.open(fname)) {
        throw FileMessage::cannotOpen();
    }
    refuseOversizedFile(file.size(), kMaxMaterialPresetBytes);
    return readMaterialPreset(file);
}

MaterialPreset readMaterialRow(const Sheet& sheet, int row) {
    const MaterialRow& r = materialRow(row);
    const auto value = [&](FieldId id) {
        return detail::toFileDouble(sheet.number(id).GetValue(), fieldInfo(id).name);
    };
    MaterialPreset preset;
    preset.list = value(r.list);
    preset.rab = value(r.rab);
    preset.ek = value(r.ek);
    preset.ver = value(r.ver);
    preset.sum = value(r.summe);
    preset.bez = sheet.text(r.bez).text();
    return preset;
}

void applyMaterialRow(Sheet& sheet, int row, const MaterialPreset& preset) {
    const MaterialRow& r = materialRow(row);
    sheet.text(r.bez).setText(preset.bez);
    sheet.number(r.list).SetValue(preset.list);
    sheet.number(r.rab).SetValue(preset.rab);
    sheet.number(r.ek).SetValue(preset.ek);
    sheet.number(r.ver).SetValue(preset.ver);
    sheet.number(r.summe).SetValue(preset.sum);
}

} // namespace pyrelto
