// The two documents of the program, each made and written as a PDF file: the offer beside the
// calculation printout. Runs on Qt's offscreen platform.

#include "calculation_pdf.h"
#include "decimal_text.h"
#include "offer_print.h"
#include "sheet.h"
#include "worked_example.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace pyrelto {
namespace {

void enterWorkedExample(Sheet& sheet) {
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    sheet.enter(FieldId::KundeEd, u"Müller");
    sheet.enter(FieldId::Bez1Ed, u"Bitumen-Schweißbahn");
}

void BM_OfferPdf(benchmark::State& state) {
    Sheet sheet;
    enterWorkedExample(sheet);
    FirmData firm;
    firm.name = u"Bedachungen Kramer GmbH";
    firm.street = u"Industriestraße 12";
    firm.postcodeTown = u"34117 Kassel";
    firm.iban = u"DE89 3704 0044 0532 0130 00";
    OfferChoices choices;
    choices.number = u"2026-014";
    choices.date = {2026, 12, 10};
    choices.validUntil = {2027, 1, 7};
    choices.recipientName = u"Müller";
    choices.recipientAddress = u"Lindenweg 5\n37073 Göttingen";
    choices.introduction = OfferChoices::defaultIntroduction();
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("angebot.pdf"));
    for (auto _ : state) {
        writeOfferPdf(buildOffer(sheet, firm, choices), file);
    }
}
BENCHMARK(BM_OfferPdf)->Unit(benchmark::kMillisecond);

// One 100,000-character word in the description, the payment terms, the firm name (in the
// letterhead, the footer, the signature and the acceptance slip) and the building site.
void BM_OfferPdfLongWord(benchmark::State& state) {
    Sheet sheet;
    enterWorkedExample(sheet);
    const std::u16string word(100000, u'x');
    FirmData firm;
    firm.name = word;
    firm.paymentTerms = word;
    OfferChoices choices;
    choices.number = u"2026-015";
    choices.date = {2026, 12, 10};
    choices.validUntil = {2027, 1, 7};
    choices.recipientName = u"Müller";
    choices.site = word;
    choices.signatureLine = true;
    choices.acceptanceSlip = true;
    OfferDocument offer = buildOffer(sheet, firm, choices);
    offer.positions[0].description = word;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("angebot.pdf"));
    for (auto _ : state) {
        writeOfferPdf(offer, file);
    }
}
BENCHMARK(BM_OfferPdfLongWord)->Unit(benchmark::kMillisecond);

void BM_CalculationPdf(benchmark::State& state) {
    Sheet sheet;
    enterWorkedExample(sheet);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("kalkulation.pdf"));
    for (auto _ : state) {
        writeCalculationPdf(sheet, file, QDate(2026, 12, 10));
    }
}
BENCHMARK(BM_CalculationPdf)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pyrelto

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
