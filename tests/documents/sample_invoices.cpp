#include "sample_invoices.h"

#include "field_catalogue.h"
#include "sheet.h"
#include "worked_example.h"

namespace pyrelto {

namespace {

// The worked example's roof as finally measured, 26,25 m²: priced by the sheet's own rules,
// 26,25 × 20,26 € = 531,825 €, which the sheet rounds up to 531,83 €.
Invoice measuredInvoice(const Invoice& base) {
    Sheet sheet;
    test::enterWorkedExample(sheet);
    sheet.enter(FieldId::Dach14Ed, u"26,25");
    const NumberFormat format = sheet.numberFormat();
    Invoice invoice = base;
    InvoiceLine line;
    line.description = "Abdichtung der Dachfläche, Aufmaß 26,25 m²";
    line.quantityMilli = Money::parse(sheet.shownText(FieldId::Dach14Ed), format)->cents() * 10;
    line.unitCode = "MTK";
    line.unitPrice = *Money::parse(sheet.shownText(FieldId::Summe13Ed), format);
    invoice.lines = {line};
    return invoice;
}

} // namespace

Invoice sampleInvoice() {
    Invoice invoice;
    invoice.number = "R-2026-0001";
    invoice.issueDate = {2026, 12, 10};
    invoice.periodStart = {2026, 11, 2};
    invoice.periodEnd = {2026, 11, 20};
    invoice.paymentDays = 14;
    invoice.offerNumber = "A-2026-014";
    invoice.seller.name = "Dachdeckerei Beispiel GmbH";
    invoice.seller.address = {{"Werkstraße 5"}, "12345", "Musterstadt", "DE"};
    invoice.seller.vatId = "DE123456789";
    invoice.seller.taxNumber = "12/345/67890";
    invoice.seller.contactName = "Eva Beispiel";
    invoice.seller.phone = "+49 1234 56789";
    invoice.seller.email = "rechnung@dach-beispiel.example";
    invoice.buyer.name = "Hausverwaltung Nord KG";
    invoice.buyer.address = {{"Hafenweg 12", "2. OG"}, "54321", "Nordhafen", "DE"};
    invoice.buyer.email = "buchhaltung@hv-nord.example";
    invoice.bank = {"Dachdeckerei Beispiel GmbH", "DE02 1203 0000 0000 2020 51", "BYLADEM1001"};
    invoice.paymentTerms = "Zahlbar innerhalb von 14 Tagen ohne Abzug.";
    // 128,457 m² × 38,90 € = 4.996,98 € (4996,9773 rounds up).
    invoice.lines.push_back({"Bitumen-Schweißbahn zweilagig, vollflächig verschweißt", 128457,
                             "MTK", Money::fromCents(3890), 1900, Money::fromCents(0)});
    invoice.lines.push_back({"Dachrinne Zink, halbrund", 24500, "MTR", Money::fromCents(4235), 1900,
                             Money::fromCents(0)});
    return invoice;
}

std::vector<SampleInvoice> sampleInvoices() {
    std::vector<SampleInvoice> table;
    const auto add = [&](std::string name, Invoice invoice) {
        invoice.number = "R-2026-" + std::to_string(1001 + table.size());
        table.push_back({std::move(name), std::move(invoice)});
    };
    const Invoice base = sampleInvoice();
    add("normal-19", base);
    {
        Invoice invoice = base;
        invoice.lines.push_back(
            {"Fachbuch Flachdach", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
        add("mixed-19-7", invoice);
    }
    {
        Invoice invoice = base;
        for (auto& line : invoice.lines) {
            line.vatRateHundredths = 700;
        }
        add("reduced-7", invoice);
    }
    {
        // Photovoltaic installation on a dwelling: 0 % in the normal tax case.
        Invoice invoice = base;
        invoice.lines = {{"Montage Photovoltaikanlage 9,8 kWp", 1000, "C62",
                          Money::fromCents(1245000), 0, Money::fromCents(0)}};
        add("zero-rated", invoice);
    }
    {
        Invoice invoice = base;
        invoice.lines.push_back(
            {"Photovoltaik-Module", 24000, "H87", Money::fromCents(18900), 0, Money::fromCents(0)});
        add("mixed-19-0", invoice);
    }
    {
        Invoice invoice = base;
        invoice.taxCase = TaxCase::ReverseCharge;
        invoice.buyer.vatId = "DE987654321";
        invoice.buyer.name = "Generalunternehmer Bau AG";
        add("reverse-charge-13b", invoice);
    }
    {
        Invoice invoice = base;
        invoice.taxCase = TaxCase::SmallBusiness;
        invoice.seller.vatId.clear();
        add("small-business-19", invoice);
    }
    {
        Invoice invoice = base;
        invoice.skonto = Skonto{10, 200};
        add("skonto", invoice);
    }
    {
        Invoice invoice = base;
        invoice.skonto = Skonto{7, 325};
        invoice.paymentTerms = "#Bitte# Rechnungsnummer #angeben\n#SKONTO#TAGE=99#PROZENT=9.00#";
        add("skonto-hash-in-terms", invoice);
    }
    {
        Invoice invoice = base;
        invoice.privateCustomer = true;
        invoice.buyer.name = "Familie Müller";
        invoice.buyerReference.clear();
        invoice.lines[0].labour = Money::fromCents(250000);
        invoice.lines[1].labour = Money::fromCents(42000);
        add("private-labour-35a", invoice);
    }
    Invoice partial1 = partialByPercent(base, 3000);
    partial1.number = "R-2026-0101";
    partial1.issueDate = {2026, 11, 5};
    add("partial-30-percent", partial1);
    Invoice partial2 = partialByAmount(base, Money::fromCents(150000));
    partial2.number = "R-2026-0102";
    partial2.issueDate = {2026, 11, 15};
    add("partial-amount", partial2);
    {
        Invoice whole = base;
        whole.lines.push_back(
            {"Fachbuch Flachdach", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
        Invoice p1 = partialByPercent(whole, 2500);
        p1.number = "R-2026-0103";
        add("partial-two-rates", p1);
    }
    add("final-two-partials", finalInvoice(base, {partial1, partial2}));
    {
        Invoice whole = base;
        whole.lines.push_back(
            {"Fachbuch Flachdach", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
        // 1.234,57 € split over 19 % and 7 % in the offer's proportion, the rest on the last rate.
        Invoice partial = partialByAmount(whole, Money::fromCents(123457));
        partial.number = "R-2026-0104";
        add("partial-amount-two-rates", partial);
    }
    const Invoice measured = measuredInvoice(base);
    add("quantity-measured", measured);
    {
        // The measured roof's final invoice deducting a partial invoice of the offered one.
        Invoice early = partialByAmount(base, Money::fromCents(20000));
        early.number = "R-2026-0105";
        add("final-measured-after-partial", finalInvoice(measured, {early}));
    }
    add("credit-note", creditNoteFor(base, "G-2026-0001", {2026, 12, 12}));
    {
        Invoice invoice = base;
        invoice.buyer.name = "Stadt Musterstadt, Hochbauamt";
        invoice.buyerReference = "04011000-12345-03";
        add("public-leitweg-id", invoice);
    }
    {
        Invoice invoice = base;
        invoice.buyer.name = "Müller & Söhne <GmbH> \"Dach\" 'Bau'";
        invoice.lines[0].description =
            "Abdichtung & Dämmung <inkl. Attika> \"geprüft\" 'sofort' ]]> &amp;";
        invoice.notes.push_back("<![CDATA[x]]> <!-- kein Kommentar --> <?php ?> &#0; &lt;");
        add("hostile-markup", invoice);
    }
    {
        Invoice invoice = base;
        invoice.buyer.name = "שלום עליכם \u202Eevil\u202C مرحبا";
        invoice.lines[0].description = "Dachfenster 🏠🔨 mit Eindeckrahmen 👍🏽 \u200D";
        add("rtl-emoji", invoice);
    }
    {
        Invoice invoice = base;
        invoice.lines[0].description = std::string("Steuer\0zeichen\x01\x08\x0B\x0C\x1F\x7F", 20) +
                                       "\xC3\x28 kaputt \xED\xA0\x80 \xEF\xBF\xBF \tTab\r\nZeile";
        invoice.buyer.name = std::string("Kunde\0GmbH", 10);
        add("control-characters", invoice);
    }
    {
        Invoice invoice = base;
        std::string longText;
        while (longText.size() < 100000) {
            longText += "Schweißbahn & Dämmung <lang> ";
        }
        longText.resize(100000);
        invoice.lines[0].description = longText;
        invoice.notes.push_back(longText);
        add("long-100000", invoice);
    }
    {
        Invoice invoice = base;
        // Half-cent rounding in both directions and quantities with three decimals.
        invoice.lines = {
            {"Anschluss Lichtkuppel", 3000, "H87", Money::fromCents(3333), 1900,
             Money::fromCents(0)},
            {"Randabschluss", 1005, "MTR", Money::fromCents(50), 1900, Money::fromCents(0)},
            {"Kiesleiste", 333, "MTR", Money::fromCents(1), 700, Money::fromCents(0)},
            {"Pauschale Baustelleneinrichtung", 1000, "LS", Money::fromCents(45000), 1900,
             Money::fromCents(0)}};
        add("rounding", invoice);
    }
    {
        Invoice invoice = base;
        invoice.seller.vatId.clear();
        invoice.bank.bic.clear();
        invoice.bank.holder.clear();
        invoice.paymentDays = 0;
        add("tax-number-only", invoice);
    }
    return table;
}

} // namespace pyrelto
