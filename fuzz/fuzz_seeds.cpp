// Writes the seed corpora of the fuzz targets with the real writers, so the seeds always match the
// formats: fuzz_seeds DIR makes DIR/calculation_file, DIR/customer_file, DIR/extension_block and
// DIR/material_preset (and the empty DIR/calculation_structure).

#include "calculation_file.h"
#include "customer_file.h"
#include "material_preset.h"
#include "safe_write.h"
#include "takeoff_chunk.h"

#include <filesystem>
#include <iostream>
#include <vector>

using namespace pyrelto;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds DIR\n";
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    // calculation_structure starts from nothing: any input is a choice of table values.
    for (const char* sub : {"calculation_file", "calculation_structure", "customer_file",
                            "extension_block", "material_preset"}) {
        std::filesystem::create_directories(root / sub);
    }
    const auto at = [&](const char* sub, const char* name) {
        return (root / sub / name).u16string();
    };
    try {
        Sheet plain;
        plain.runCountRules();
        savefile(plain, at("calculation_file", "start.kal"));

        Sheet full;
        full.runCountRules();
        full.number(FieldId::AnzZeilenEd).SetValue(3);
        full.number(FieldId::AnzStueckEd).SetValue(2);
        full.text(FieldId::KundeEd).setText(u"Müller");
        full.number(FieldId::List1Ed).SetValue(12.35L);
        full.number(FieldId::Rab1Ed).SetValue(10);
        full.number(FieldId::Ver1Ed).SetValue(5);
        full.number(FieldId::Anz8Ed).SetValue(4);
        full.number(FieldId::Ek8Ed).SetValue(0.12L);
        full.number(FieldId::Summe10Ed).SetValue(8.5L);
        full.number(FieldId::Dach14Ed).SetValue(140);
        savefile(full, at("calculation_file", "voll.kal"));

        CalculationContent base = captureCalculation(full);
        base.entryCount = kBaseSectionEntries;
        MemoryWriter baseImage;
        writeCalculation(baseImage, base);
        if (!writeFileSafely(at("calculation_file", "basis.kal"), baseImage.bytes())) {
            throw std::runtime_error("cannot write basis.kal");
        }

        // What follows entry 80: a take-off of every kind of row, and a chunk of a later version.
        CalculationExtras extras;
        Face roof;
        roof.name = u"Flachdach";
        roof.a = 2000;
        roof.b = 1500;
        roof.openings = {{u"Lichtkuppel", 120, 120, 1}, {u"Lichtkuppel", 90, 100, 2}};
        roof.edges = {{EdgeKind::Attika, 7000, 1}};
        Face garage;
        garage.name = u"Garage";
        garage.shape = FaceShape::Polygon;
        garage.measured = Measured::OnPlan;
        garage.pitch = 1500;
        garage.points = {{0, 0}, {1200, 0}, {1200, 500}, {700, 500}, {700, 900}, {0, 900}};
        extras.takeOff.faces = {roof, garage};
        extras.takeOff.upstands = {{u"Attika", 4820, 30, 1}};
        extras.keptChunks = {{{'A', 'R', 'T', 'N'}, {std::byte{1}, std::byte{2}}}};
        MemoryWriter block;
        writeExtensionBlock(block, extensionChunks(extras));
        if (!writeFileSafely(at("extension_block", "aufmass.bin"), block.bytes())) {
            throw std::runtime_error("cannot write aufmass.bin");
        }
        savefile(full, at("calculation_file", "aufmass.kal"), extras);
        if (!writeFileSafely(at("extension_block", "aufmass-nutzlast.bin"),
                             encodeTakeOff(extras.takeOff))) {
            throw std::runtime_error("cannot write aufmass-nutzlast.bin");
        }

        const std::vector<std::vector<std::u16string>> lists{
            {}, {u"Abel", u"Müller"}, {u"", u"\U0001F600 Dach", u"€"}};
        int n = 0;
        for (const auto& list : lists) {
            const std::string name = "liste" + std::to_string(n++) + ".dat";
            if (!writeCustomerFile((root / "customer_file" / name).u16string(), list)) {
                throw std::runtime_error("cannot write " + name);
            }
        }

        savemat(at("material_preset", "leer.mat"), MaterialPreset{});
        savemat(at("material_preset", "bahn.mat"),
                MaterialPreset{u"Pyrelto Oberlage", 12.35, 10, 11.12, 5, 11.68});
    } catch (const std::exception& e) {
        std::cerr << "fuzz_seeds: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
