// Writes the seed corpora of the fuzz targets with the real writers, so the seeds always match the
// formats: fuzz_seeds DIR makes DIR/calculation_file, DIR/customer_file, DIR/customer_address_file,
// DIR/extension_block and DIR/material_preset (and the empty DIR/calculation_structure), and the
// price list seeds DIR/datanorm and DIR/csv_price_list, small files in each format, and
// DIR/stored_records, the register's JSON records behind the byte that picks their reader.

#include "calculation_file.h"
#include "customer_address_file.h"
#include "customer_file.h"
#include "invoice_data.h"
#include "material_preset.h"
#include "offer_particulars.h"
#include "safe_write.h"
#include "takeoff_chunk.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

using namespace pyrelto;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds DIR\n";
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    // calculation_structure starts from nothing: any input is a choice of table values.
    for (const char* sub :
         {"calculation_file", "calculation_structure", "customer_file", "customer_address_file",
          "extension_block", "material_preset", "datanorm", "csv_price_list", "stored_records"}) {
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
        extras.rowArticles[0] = RowArticle{u"Dachbaustoffe Nord GmbH", u"BB-OL-5",
                                           descriptionChecksum(u"Oberlagsbahn")};
        extras.rowArticles[6] = RowArticle{u"", u"DN-20", descriptionChecksum(u"")};
        extras.keptChunks = {{{'I', 'N', 'V', 'C'}, {std::byte{1}, std::byte{2}}}};
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
        if (!writeFileSafely(at("extension_block", "artikel-nutzlast.bin"),
                             encodeRowArticles(extras.rowArticles))) {
            throw std::runtime_error("cannot write artikel-nutzlast.bin");
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
        // No writer exists for the price lists: the seeds are written out as the formats lay
        // them down (docs/catalogue.md).
        const auto put = [&](const char* sub, const char* name, std::string_view content) {
            const auto* first = reinterpret_cast<const std::byte*>(content.data());
            if (!writeFileSafely(at(sub, name),
                                 std::vector<std::byte>(first, first + content.size()))) {
                throw std::runtime_error(std::string("cannot write ") + name);
            }
        };
        const std::string header = "V 010326" + std::string("Nord") + std::string(36, ' ') +
                                   std::string(75, ' ') + "04EUR\r\n";
        put("datanorm", "liste.001",
            header + "A;N;BB-OL-5;00;Oberlagsbahn;gr\x81n;1;0;Rolle;7493;OB1;DAB;\r\n"
                     "B;N;BB-OL-5;OBERLAGE;;;;;;;4012345678901;;;;\r\n"
                     "A;N;DN-20;00;N\x84gel;;2;3;Stk;1850;NA;BEF;\r\n"
                     "P;A;BB-OL-5;2;7100;1;0;;;;;DN-20;1;1900;;;;;;;\r\n\x1A");
        put("csv_price_list", "semikolon.csv",
            "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit;Rabattgruppe;m\xC2\xB2 je "
            "Einheit\r\n"
            "BB-OL-5;\"Oberlage; gr\xC3\xBCn\n2\";Rolle;74,93;1;OB1;7,5\r\n");
        put("csv_price_list", "komma.csv",
            "Artikelnummer,Preis,Preiseinheit\nA1,\"1,234.5\",100\nA2,0.5,1\n");

        OfferChoices choices;
        choices.subject = u"Angebot Flachdach";
        choices.site = u"Hauptstr. 5\n12345 Berlin";
        choices.period.from = {2027, 4, 1};
        choices.instalments = {30, 40};
        choices.taxCase = TaxCase::ReverseCharge;
        put("stored_records", "angebot.json", '\0' + offerParticularsJson(choices));
        Invoice invoice;
        invoice.kind = InvoiceKind::Final;
        invoice.number = "R-2026-0001";
        invoice.issueDate = {2026, 12, 10};
        invoice.lines.push_back({});
        invoice.partials.push_back({});
        invoice.skonto = Skonto{10, 200};
        put("stored_records", "rechnung.json", '\1' + invoiceDataJson(invoice));

        savemat(at("material_preset", "leer.mat"), MaterialPreset{});
        savemat(at("material_preset", "bahn.mat"),
                MaterialPreset{u"Pyrelto Oberlage", 12.35, 10, 11.12, 5, 11.68});
    } catch (const std::exception& e) {
        std::cerr << "fuzz_seeds: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
