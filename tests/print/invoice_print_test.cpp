// The invoice PDF: real PDFs read back with pdftotext. The amounts of the sample invoice are
// worked by hand: 128,457 m² × 38,90 € = 4.996,98 €, 24,5 m × 42,35 € = 1.037,58 €, net
// 6.034,56 €, 19 % VAT 1.146,57 €, gross 7.181,13 €.

#include "invoice_print.h"
#include "kept_folder_test.h"
#include "money.h"
#include "pdf_file.h"
#include "pdf_reader.h"
#include "printout.h"
#include "qt_app_environment.h"
#include "qt_strings.h"
#include "sample_invoices.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

using test::toStd;

// "1.234,56" → 123456 cents; nothing for any other text.
std::optional<std::int64_t> cents(QString text) {
    text.remove(QLatin1Char('.'));
    const auto amount = Money::parse(text.toStdU16String(), NumberFormat{u','});
    return amount ? std::optional(amount->cents()) : std::nullopt;
}

// The amounts with "€" on a line of the layout text, left to right.
std::vector<std::int64_t> amountsOn(const QString& line) {
    std::vector<std::int64_t> out;
    const QRegularExpression amount(QStringLiteral("(-?[\\d.]+,\\d\\d) €"));
    for (auto it = amount.globalMatch(line); it.hasNext();)
        if (const auto value = cents(it.next().captured(1)))
            out.push_back(*value);
    return out;
}

QString money(std::int64_t value) {
    return QString::fromStdString(germanAmount(Money::fromCents(value))) + QStringLiteral(" €");
}

// PYRELTO_KEEP_INVOICE keeps the PDFs for looking at them (docs/invoice.png).
class InvoicePrintTest : public test::KeptFolderTest {
protected:
    InvoicePrintTest() : KeptFolderTest("PYRELTO_KEEP_INVOICE") {}

    // The invoice as a PDF file and its text as pdftotext reads it, in its layout.
    QString pdfText(const Invoice& invoice, const QString& name = QStringLiteral("r.pdf")) {
        const QString path = filePath(name);
        writePdfBytes(path, invoicePdf(invoice, {}));
        return test::pdfText(path);
    }
};

// What § 14 UStG requires on every invoice, on every kind: both parties with their addresses,
// the seller's VAT ID and tax number, date, number, quantity and kind of the work, the
// Leistungszeitraum, net per rate, rate and VAT amount, the offer, the due date and the account.
TEST_F(InvoicePrintTest, EveryKindCarriesWhatTheLawRequires) {
    const Invoice base = sampleInvoice();
    Invoice partial = partialByPercent(base, 3000);
    partial.number = "R-2026-0101";
    Invoice mixed = base;
    mixed.lines.push_back(
        {"Fachbuch Flachdach", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
    struct Case {
        const char* name;
        Invoice invoice;
        QString kind;
        QStringList work; // what was done, as the positions name it, and its quantities
    };
    const std::vector<Case> cases{
        {"invoice",
         base,
         QStringLiteral("Rechnung R-2026-0001"),
         {QStringLiteral("Bitumen-Schweißbahn zweilagig"), QStringLiteral("128,457"),
          QStringLiteral("m²"), QStringLiteral("Dachrinne Zink, halbrund"),
          QStringLiteral("24,5")}},
        {"partial",
         partial,
         QStringLiteral("Abschlagsrechnung R-2026-0101"),
         {QStringLiteral("Abschlag 30 % der Auftragssumme,")}},
        {"final",
         finalInvoice(base, {partial}),
         QStringLiteral("Schlussrechnung R-2026-0001"),
         {QStringLiteral("Bitumen-Schweißbahn zweilagig"), QStringLiteral("128,457")}},
        {"credit",
         creditNoteFor(base, "G-2026-0001", {2026, 12, 10}),
         QStringLiteral("Gutschrift (Storno) G-2026-0001"),
         {QStringLiteral("Storno der Rechnung R-2026-0001 vom 10.12.2026"),
          QStringLiteral("Bitumen-Schweißbahn zweilagig"), QStringLiteral("128,457")}},
        {"two rates",
         mixed,
         QStringLiteral("Rechnung R-2026-0001"),
         {QStringLiteral("Fachbuch Flachdach"), QStringLiteral("7 %"), QStringLiteral("19 %")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Label and value of the information block side by side, whatever the spaces between.
        const QString text = pdfText(c.invoice).simplified();
        const InvoiceTotals totals = computeTotals(c.invoice);
        QStringList expected{c.kind,
                             QStringLiteral("Dachdeckerei Beispiel GmbH"),
                             QStringLiteral("Werkstraße 5"),
                             QStringLiteral("12345 Musterstadt"),
                             QStringLiteral("Hausverwaltung Nord KG"),
                             QStringLiteral("Hafenweg 12"),
                             QStringLiteral("2. OG"),
                             QStringLiteral("54321 Nordhafen"),
                             QStringLiteral("USt-IdNr. DE123456789"),
                             QStringLiteral("Steuernummer 12/345/67890"),
                             QStringLiteral("Rechnungsdatum 10.12.2026"),
                             QStringLiteral("Leistungszeitraum: 02.11.2026 bis 20.11.2026"),
                             QStringLiteral("Angebot A-2026-014"),
                             QStringLiteral("Nettobetrag"),
                             money(totals.lineTotal.cents()),
                             QStringLiteral("DE02 1203 0000 0000 2020 51")};
        for (const VatBreakdown& vat : totals.vat)
            expected << money(vat.vat.cents()) << money(vat.basis.cents())
                     << QStringLiteral("zzgl. USt. %1 %").arg(vat.rateHundredths / 100);
        if (c.invoice.kind != InvoiceKind::CreditNote)
            expected << QStringLiteral("bis zum 24.12.2026");
        expected << c.work;
        for (const QString& item : expected)
            EXPECT_TRUE(text.contains(item)) << toStd(item) << "\n" << toStd(text);
    }
}

TEST_F(InvoicePrintTest, TheInvoiceShowsTheHandWorkedAmounts) {
    const QString text = pdfText(sampleInvoice());
    const std::pair<QString, std::vector<std::int64_t>> rows[] = {
        {QStringLiteral("Bitumen-Schweißbahn"), {3890, 499698}},
        {QStringLiteral("Dachrinne"), {4235, 103758}},
        {QStringLiteral("Nettobetrag"), {603456}},
        {QStringLiteral("zzgl. USt. 19 %"), {114657}},
        {QStringLiteral("Gesamtbetrag (brutto)"), {718113}},
    };
    for (const auto& [label, amounts] : rows) {
        SCOPED_TRACE(toStd(label));
        const QStringList lines = text.split(QLatin1Char('\n')).filter(label);
        ASSERT_EQ(lines.size(), 1) << toStd(text);
        EXPECT_EQ(amountsOn(lines.front()), amounts) << toStd(lines.front());
    }
    EXPECT_TRUE(text.contains(QStringLiteral("Bitte überweisen Sie den Betrag von 7.181,13 €")))
        << toStd(text);
}

// The final invoice lists each partial invoice with its net, VAT and gross, and the partial
// invoices' gross plus the amount due is the gross of the whole work.
TEST_F(InvoicePrintTest, AFinalInvoicesDeductionsAddUp) {
    const Invoice base = sampleInvoice();
    // 30 %: net 1.810,37 €, VAT 343,97 €, gross 2.154,34 €; a fixed 1.500,00 €: VAT 285,00 €,
    // gross 1.785,00 €.
    Invoice partial1 = partialByPercent(base, 3000);
    partial1.number = "R-2026-0101";
    partial1.issueDate = {2026, 11, 5};
    Invoice partial2 = partialByAmount(base, Money::fromCents(150000));
    partial2.number = "R-2026-0102";
    partial2.issueDate = {2026, 11, 15};
    Invoice final = finalInvoice(base, {partial1, partial2});
    final.number = "R-2026-0110";
    const QString text = pdfText(final, QStringLiteral("schlussrechnung.pdf"));

    std::map<QString, std::vector<std::int64_t>> rows;
    std::optional<std::int64_t> gross;
    std::optional<std::int64_t> deducted;
    std::optional<std::int64_t> due;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        for (const QString& number : {QStringLiteral("R-2026-0101"), QStringLiteral("R-2026-0102"),
                                      QStringLiteral("Summe der Abschläge")})
            if (trimmed.startsWith(number))
                rows[number] = amountsOn(line);
        const auto one = [&](const char* label, std::optional<std::int64_t>& into) {
            if (trimmed.startsWith(QString::fromUtf8(label)) && amountsOn(line).size() == 1)
                into = amountsOn(line).front();
        };
        one("Gesamtbetrag (brutto)", gross);
        one("abzüglich Abschlagsrechnungen (brutto)", deducted);
        one("Zahlbetrag", due);
    }
    EXPECT_EQ(rows[QStringLiteral("R-2026-0101")],
              (std::vector<std::int64_t>{181037, 34397, 215434}));
    EXPECT_EQ(rows[QStringLiteral("R-2026-0102")],
              (std::vector<std::int64_t>{150000, 28500, 178500}));
    EXPECT_EQ(rows[QStringLiteral("Summe der Abschläge")],
              (std::vector<std::int64_t>{331037, 62897, 393934}))
        << toStd(text);
    ASSERT_TRUE(gross && deducted && due) << toStd(text);
    EXPECT_EQ(*gross, 718113);
    EXPECT_EQ(*deducted, -393934);
    EXPECT_EQ(*due, 718113 - 393934);
    EXPECT_EQ(215434 + 178500 + *due, *gross);
    EXPECT_TRUE(text.contains(QStringLiteral("05.11.2026"))) << toStd(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Bitte überweisen Sie den Betrag von 3.241,79 €")));
}

TEST_F(InvoicePrintTest, TaxCasesShowTheirNotesAndNoVatWhereNoneIsCharged) {
    Invoice reverse = sampleInvoice();
    reverse.taxCase = TaxCase::ReverseCharge;
    reverse.buyer.vatId = "DE987654321";
    Invoice small = sampleInvoice();
    small.taxCase = TaxCase::SmallBusiness;
    small.seller.vatId.clear();
    Invoice home = sampleInvoice();
    home.privateCustomer = true;
    home.buyer.name = "Familie Müller";
    home.lines[0].labour = Money::fromCents(250000);
    home.lines[1].labour = Money::fromCents(42000);
    home.skonto = Skonto{10, 200};
    struct Case {
        const char* name;
        const Invoice& invoice;
        QStringList present;
        QStringList absent;
    };
    const std::vector<Case> cases{
        {"§ 13b",
         reverse,
         {QStringLiteral("Steuerschuldnerschaft des Leistungsempfängers (§ 13b UStG)"),
          QStringLiteral("Ihre USt-IdNr. DE987654321"),
          QStringLiteral("Rechnungsbetrag (netto, ohne Umsatzsteuer)"),
          QStringLiteral("6.034,56 €")},
         {QStringLiteral("zzgl. USt."), QStringLiteral("1.146,57"), QStringLiteral("7.181,13"),
          QStringLiteral("aufzubewahren")}},
        {"§ 19",
         small,
         {QString::fromStdString(smallBusinessNote()), QStringLiteral("6.034,56 €"),
          QStringLiteral("Steuernummer 12/345/67890")},
         {QStringLiteral("zzgl. USt."), QStringLiteral("1.146,57"),
          QStringLiteral("Leistungsempfängers")}},
        // Labour 2.920,00 € net, 554,80 € VAT: 3.474,80 €. Skonto 2 % of 7.181,13 €: 143,62 €.
        {"private customer",
         home,
         {QStringLiteral("zwei Jahre lang aufzubewahren"),
          QStringLiteral("§ 14 Abs. 4 Satz 1 Nr. 9 UStG"),
          QStringLiteral("Arbeitskosten nach § 35a EStG: 3.474,80 €"),
          QStringLiteral("netto 2.920,00 €, MwSt. 554,80 €"), QStringLiteral("1.146,57 €"),
          QStringLiteral("2 % Skonto (143,62 €)"), QStringLiteral("7.037,51 €"),
          QStringLiteral("bis zum 20.12.2026")},
         {QStringLiteral("Leistungsempfängers"), QStringLiteral("§ 19")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // pdftotext may break a long note over lines; the checks read it as one.
        const QString text = pdfText(c.invoice).simplified();
        for (const QString& item : c.present)
            EXPECT_TRUE(text.contains(item.simplified())) << toStd(item) << "\n" << toStd(text);
        for (const QString& item : c.absent)
            EXPECT_FALSE(text.contains(item)) << toStd(item) << "\n" << toStd(text);
    }
}

// Texts that try to break the layout, markup and bidirectional texts, and a position of 100,000
// characters over many pages: each invoice is a PDF with its number and amount due.
TEST_F(InvoicePrintTest, EverySampleInvoiceBecomesAPdf) {
    for (const SampleInvoice& sample : sampleInvoices()) {
        SCOPED_TRACE(sample.name);
        const QString text = pdfText(sample.invoice);
        const InvoiceTotals totals = computeTotals(sample.invoice);
        EXPECT_TRUE(text.contains(QString::fromStdString(sample.invoice.number))) << toStd(text);
        EXPECT_TRUE(text.simplified().contains(money(totals.duePayable.cents()))) << toStd(text);
    }
}

TEST_F(InvoicePrintTest, AMissingItemIsRefusedByNameAndNothingIsWritten) {
    struct Case {
        const char* name;
        void (*change)(Invoice&);
        const char* message;
    };
    const Case cases[] = {
        {"no number", [](Invoice& i) { i.number.clear(); }, "Die Rechnungsnummer fehlt."},
        {"no period", [](Invoice& i) { i.periodEnd = {}; },
         "Der Leistungszeitraum (von, bis) fehlt."},
        {"no buyer address", [](Invoice& i) { i.buyer.address.streetLines.clear(); },
         "Die Anschrift des Kunden (Straße, PLZ, Ort) ist unvollständig."},
        {"13b without VAT ID", [](Invoice& i) { i.taxCase = TaxCase::ReverseCharge; },
         "Für § 13b UStG fehlt die USt-IdNr. des Kunden."},
        {"no tax number",
         [](Invoice& i) {
             i.seller.vatId.clear();
             i.seller.taxNumber.clear();
         },
         "Die Steuernummer oder USt-IdNr. der eigenen Firma fehlt."},
        {"no IBAN", [](Invoice& i) { i.bank.iban.clear(); }, "Die IBAN für die Zahlung fehlt."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Invoice invoice = sampleInvoice();
        c.change(invoice);
        try {
            invoicePdf(invoice, {});
            ADD_FAILURE() << "a PDF was made";
        } catch (const PrintError& error) {
            EXPECT_EQ(toStd(error.message()), c.message);
        }
    }
}

TEST_F(InvoicePrintTest, SuggestsAFileNameFileSystemsTake) {
    Invoice invoice = finalInvoice(sampleInvoice(), {});
    invoice.buyer.name = "Müller/Söhne: \"Dach\"";
    EXPECT_EQ(toStd(suggestedInvoiceFileName(invoice)),
              "Schlussrechnung R-2026-0001 Müller_Söhne_ _Dach_.pdf");
    EXPECT_EQ(toStd(suggestedInvoiceFileName(creditNoteFor(sampleInvoice(), "G-1", {2026, 1, 2}))),
              "Gutschrift G-1 Hausverwaltung Nord KG.pdf");
}

} // namespace
} // namespace pyrelto
