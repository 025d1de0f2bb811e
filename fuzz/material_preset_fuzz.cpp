// Any bytes as a material preset: refused with an IoError, or six values that load into a row and
// store back as the same bytes.

#include "material_preset.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryReader in(std::as_bytes(std::span(data, size)));
    MaterialPreset preset;
    try {
        preset = readMaterialPreset(in);
    } catch (const IoError&) {
        return 0;
    }
    MemoryWriter out;
    writeMaterialPreset(out, preset);
    const std::size_t used = size - static_cast<std::size_t>(in.remaining());
    if (out.bytes().size() != used || std::memcmp(out.bytes().data(), data, used) != 0) {
        __builtin_trap();
    }
    Sheet sheet;
    sheet.runCountRules();
    applyMaterialRow(sheet, static_cast<int>(size % 5), preset);
    return 0;
}
