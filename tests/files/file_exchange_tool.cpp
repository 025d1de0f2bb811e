// Moves the three data files between systems through the program's own readers and writers, and
// times opening and saving, so that the Windows build under wine can be compared with this one.
//
//   file-exchange write KIND OUT          the sample content, written by the product's writer
//   file-exchange copy KIND IN OUT        IN read completely, then written again to OUT
//   file-exchange time KIND FILE ROUNDS   opens and saves FILE ROUNDS times; prints the cost of
//                                         one open and one save in microseconds
//
// KIND is kal (calculation), mat (material preset) or dat (customer list). Exit 1 with the
// program's message when a file cannot be read or written.

#include "calculation_file.h"
#include "customer_file.h"
#include "material_preset.h"
#include "sheet.h"
#include "utf16.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pyrelto;

// Texts whose blocks hold the bytes a text-mode stream would change: counts of 10 and 13, CR LF
// pairs, a lone LF and CR, the 1A end-of-text byte, umlauts and a character outside the BMP.
const std::u16string kTexts[] = {
    u"zehn Zeich",
    u"dreizehn Zeic",
    u"Zeile 1\r\nZeile 2",
    u"\n",
    u"\r",
    u"\x1A",
    u"Müller 😀 Straße",
    u"Bitumenbahn \r\n\x1A Ende",
    u"Tellerdübel €",
    u"",
};

struct Content {
    Sheet sheet;
    MaterialPreset preset;
    std::vector<std::u16string> names;
};

void fillSample(Content& c) {
    c.sheet.runCountRules();
    c.sheet.number(FieldId::AnzZeilenEd).SetValue(5);
    c.sheet.number(FieldId::AnzSonstEd).SetValue(5);
    c.sheet.number(FieldId::AnzStueckEd).SetValue(5);
    std::size_t n = 0;
    std::size_t t = 0;
    for (const auto& info : fieldCatalogue()) {
        if (info.kind == FieldKind::Text) {
            c.sheet.text(info.id).setText(kTexts[t++ % std::size(kTexts)]);
        } else if (info.kind != FieldKind::Count) {
            // 10 and 13 as the low bytes of doubles' mantissas, and plain amounts.
            c.sheet.number(info.id).SetValue(n % 3 == 0 ? 10.0L + n / 1024.0L : n * 1.25L);
        }
        ++n;
    }
    c.preset = MaterialPreset{kTexts[7], 9.99, 35, 6.49, 15, 7.46};
    c.names.assign(std::begin(kTexts), std::end(kTexts));
}

void save(std::string_view kind, Content& c, const std::u16string& file) {
    if (kind == "kal") {
        savefile(c.sheet, file);
    } else if (kind == "mat") {
        savemat(file, c.preset);
    } else if (!writeCustomerFile(file, c.names)) {
        throw FileMessage::cannotCreate();
    }
}

void load(std::string_view kind, Content& c, const std::u16string& file) {
    if (kind == "kal") {
        openfile(c.sheet, file);
    } else if (kind == "mat") {
        c.preset = loademat(file);
    } else {
        auto names = readCustomerFile(file);
        if (!names) {
            throw FileMessage::cannotOpen();
        }
        c.names = std::move(*names);
    }
}

int run(const std::vector<std::string>& args) {
    const auto usage = [] {
        std::fputs("usage: file-exchange write KIND OUT | copy KIND IN OUT | time KIND FILE "
                   "ROUNDS   (KIND: kal, mat, dat)\n",
                   stderr);
        return 2;
    };
    if (args.size() < 3 || (args[1] != "kal" && args[1] != "mat" && args[1] != "dat")) {
        return usage();
    }
    const std::string_view command = args[0];
    const std::string_view kind = args[1];
    Content content;
    if (command == "write" && args.size() == 3) {
        fillSample(content);
        const std::u16string out = fromUtf8(args[2]);
        save(kind, content, out);
        // Amounts are stored as the fields show them, so the first save rounds; the sample is the
        // calculation as it comes back from the file, which every later open and save keeps.
        Content reopened;
        reopened.sheet.runCountRules();
        load(kind, reopened, out);
        save(kind, reopened, out);
        return 0;
    }
    if (command == "copy" && args.size() == 4) {
        content.sheet.runCountRules();
        load(kind, content, fromUtf8(args[2]));
        save(kind, content, fromUtf8(args[3]));
        return 0;
    }
    if (command == "time" && args.size() == 4) {
        const int rounds = std::atoi(args[3].c_str());
        if (rounds <= 0) {
            return usage();
        }
        const std::u16string file = fromUtf8(args[2]);
        fillSample(content);
        save(kind, content, file);
        using Clock = std::chrono::steady_clock;
        Clock::duration opening{};
        Clock::duration saving{};
        for (int i = 0; i < rounds; ++i) {
            const auto t0 = Clock::now();
            load(kind, content, file);
            const auto t1 = Clock::now();
            save(kind, content, file);
            const auto t2 = Clock::now();
            opening += t1 - t0;
            saving += t2 - t1;
        }
        const auto perRound = [rounds](Clock::duration d) {
            return std::chrono::duration<double, std::micro>(d).count() / rounds;
        };
        std::printf("open %.1f us  save %.1f us\n", perRound(opening), perRound(saving));
        return 0;
    }
    return usage();
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
    const std::vector<std::string> args = utf8Arguments(argc, argv);
    try {
        return run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "file-exchange: %s\n", e.what());
        return 1;
    }
}
