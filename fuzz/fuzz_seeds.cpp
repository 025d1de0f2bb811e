// Writes the seed corpora of the fuzz targets with the real writers, so the seeds always match the
// formats: fuzz_seeds DIR makes DIR/calculation_file, DIR/customer_file, DIR/customer_address_file
// and DIR/material_preset (and the empty DIR/calculation_structure).

#include "calculation_file.h"
#include "customer_address_file.h"
#include "customer_file.h"
#include "material_preset.h"
#include "safe_write.h"

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
                            "customer_address_file", "material_preset"}) {
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

        const std::vector<std::vector<std::u16string>> lists{
            {}, {u"Abel", u"Müller"}, {u"", u"\U0001F600 Dach", u"€"}};
        int n = 0;
        for (const auto& list : lists) {
            const std::string name = "liste" + std::to_string(n++) + ".dat";
            if (!writeCustomerFile((root / "customer_file" / name).u16string(), list)) {
                throw std::runtime_error("cannot write " + name);
            }
        }

        for (const auto& [name, addresses] :
             {std::pair{"leer.dat", CustomerAddresses{}},
              std::pair{"zwei.dat", CustomerAddresses{{u"Müller", u"Lindenweg 5\n37073 Göttingen"},
                                                      {u"", u"\U0001F600"}}}}) {
            if (!writeCustomerAddresses(at("customer_address_file", name), addresses)) {
                throw std::runtime_error(std::string("cannot write ") + name);
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
