#include "invoice_print.h"

#include "letter_painter.h"
#include "pdf_file.h"
#include "printout.h"
#include "qt_text.h"

#include <QPagedPaintDevice>
#include <memory>

namespace pyrelto {

namespace {

QString utf8(const std::string& text) {
    return QString::fromStdString(text).trimmed();
}

QString date(const Date& value) {
    return utf8(germanDateUtf8(value));
}

// Thousandths as German text without the zeros a quantity does not need: 24500 → "24,5",
// 1234000 → "1.234".
QString quantityText(std::int64_t milli) {
    const bool negative = milli < 0;
    // Unsigned, so that the most negative count has a magnitude too.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(milli) : static_cast<std::uint64_t>(milli);
    QString whole = QString::number(magnitude / 1000);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, QLatin1Char('.'));
    QString fraction = QString::number(magnitude % 1000 + 1000).mid(1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return (negative ? QStringLiteral("-") : QString()) + whole +
           (fraction.isEmpty() ? QString() : QLatin1Char(',') + fraction);
}

// "19 %", "7,5 %".
QString rateText(int hundredths) {
    QString text = QString::number(hundredths / 100);
    if (hundredths % 100 != 0) {
        QString fraction = QString::number(hundredths % 100 + 100).mid(1);
        if (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        text += QLatin1Char(',') + fraction;
    }
    return text + QStringLiteral(" %");
}

bool blank(const std::string& text) {
    return utf8(text).isEmpty();
}

class InvoicePainter final : public LetterPainter {
public:
    InvoicePainter(const Invoice& invoice, const InvoiceLetterhead& letterhead,
                   QPagedPaintDevice& device)
        : LetterPainter(frameOf(invoice, letterhead), device), invoice_(invoice),
          totals_(computeTotals(invoice)) {}

private:
    static LetterFrame frameOf(const Invoice& invoice, const InvoiceLetterhead& letterhead) {
        LetterFrame frame;
        const Party& seller = invoice.seller;
        FirmData& firm = frame.firm;
        firm.name = utf8(seller.name).toStdU16String();
        firm.contact = utf8(seller.contactName).toStdU16String();
        QStringList street;
        for (const auto& part : seller.address.streetLines)
            street << utf8(part);
        firm.street = street.join(QStringLiteral(", ")).toStdU16String();
        firm.postcodeTown =
            (utf8(seller.address.postcode) + QLatin1Char(' ') + utf8(seller.address.town))
                .trimmed()
                .toStdU16String();
        firm.phone = utf8(seller.phone).toStdU16String();
        firm.email = utf8(seller.email).toStdU16String();
        firm.web = letterhead.web;
        firm.taxId = utf8(blank(seller.vatId) ? seller.taxNumber : seller.vatId).toStdU16String();
        firm.accountHolder = utf8(invoice.bank.holder).toStdU16String();
        firm.iban = utf8(invoice.bank.iban).toStdU16String();
        firm.bic = utf8(invoice.bank.bic).toStdU16String();
        firm.logoPath = letterhead.logoPath;

        const Party& buyer = invoice.buyer;
        frame.recipient << utf8(buyer.name);
        for (const auto& part : buyer.address.streetLines)
            frame.recipient << utf8(part);
        frame.recipient << (utf8(buyer.address.postcode) + QLatin1Char(' ') +
                            utf8(buyer.address.town))
                               .trimmed();
        if (!buyer.address.countryCode.empty() && buyer.address.countryCode != "DE")
            frame.recipient << utf8(buyer.address.countryCode);
        frame.recipient.removeAll(QString());

        const QString number = utf8(invoice.number);
        const auto info = [&](const char* label, const QString& value) {
            if (!value.isEmpty())
                frame.info.append({QString::fromUtf8(label), value});
        };
        info("Rechnungsnummer", number);
        info("Rechnungsdatum", date(invoice.issueDate));
        info("Angebot", utf8(invoice.offerNumber));
        if (invoice.buyerReference != invoice.offerNumber)
            info("Ihre Referenz", utf8(invoice.buyerReference));
        info("Ihre USt-IdNr.", utf8(buyer.vatId));
        info("Ansprechpartner", utf8(seller.contactName));
        info("Telefon", utf8(seller.phone));
        info("E-Mail", utf8(seller.email));
        info("USt-IdNr.", utf8(seller.vatId));
        info("Steuernummer", utf8(seller.taxNumber));
        frame.followTitle =
            QStringLiteral("%1 %2 vom %3")
                .arg(utf8(invoiceKindTitle(invoice.kind)), number, date(invoice.issueDate));
        frame.failureText = QStringLiteral("Die Rechnung konnte nicht erstellt werden.");
        return frame;
    }

    QString money(Money amount) const {
        const QString currency =
            invoice_.currency == "EUR" ? QStringLiteral("€") : utf8(invoice_.currency);
        return utf8(germanAmount(amount)) + QLatin1Char(' ') + currency;
    }

    void buildBody() override {
        const Invoice& in = invoice_;
        addLine(utf8(invoiceKindTitle(in.kind)) + QLatin1Char(' ') + utf8(in.number),
                letterFont(12, true), kAccent, 2, 1.2);
        addParagraphs(in.periodStart == in.periodEnd
                          ? QStringLiteral("Leistungsdatum: %1").arg(date(in.periodStart))
                          : QStringLiteral("Leistungszeitraum: %1 bis %2")
                                .arg(date(in.periodStart), date(in.periodEnd)),
                      bodyBold_, 0);
        if (!blank(in.offerNumber))
            addParagraphs(QStringLiteral("Bezug: unser Angebot %1").arg(utf8(in.offerNumber)),
                          body_, 0);
        if (in.kind == InvoiceKind::CreditNote) {
            QString original =
                QStringLiteral("Storno der Rechnung %1").arg(utf8(in.originalNumber));
            if (in.originalDate.isValid())
                original += QStringLiteral(" vom %1").arg(date(in.originalDate));
            addParagraphs(original + QStringLiteral(": Diese Gutschrift hebt die Rechnung "
                                                    "vollständig auf."),
                          bodyBold_, 0);
        }
        addSpace(4);
        addParagraphs(introduction(), body_, 4);
        addPositions();
        addTotalsOfWork();
        if (in.kind == InvoiceKind::Final && !in.partials.empty())
            addDeductions();
        addNotes();
        addPayment();
        addParagraphs(QStringLiteral("Vielen Dank für Ihren Auftrag.\n\nMit freundlichen Grüßen"),
                      body_, 3);
        QStringList signature;
        for (const std::string* part : {&in.seller.contactName, &in.seller.name})
            if (!blank(*part))
                signature << utf8(*part);
        if (!signature.isEmpty())
            addParagraphs(signature.join(QLatin1Char('\n')), body_, 0);
    }

    QString introduction() const {
        switch (invoice_.kind) {
        case InvoiceKind::Partial:
            return QStringLiteral("Sehr geehrte Damen und Herren,\n\nwie vereinbart berechnen "
                                  "wir Ihnen für die bisher ausgeführten Arbeiten den folgenden "
                                  "Abschlag:");
        case InvoiceKind::Final:
            return QStringLiteral("Sehr geehrte Damen und Herren,\n\nnach Abschluss der Arbeiten "
                                  "berechnen wir Ihnen die gesamte Leistung abzüglich der "
                                  "bereits gestellten Abschlagsrechnungen:");
        case InvoiceKind::CreditNote:
            return QStringLiteral("Sehr geehrte Damen und Herren,\n\nwir schreiben Ihnen die "
                                  "folgenden Beträge gut:");
        case InvoiceKind::Invoice:
            break;
        }
        return QStringLiteral("Sehr geehrte Damen und Herren,\n\nfür die ausgeführten Arbeiten "
                              "berechnen wir Ihnen:");
    }

    // One VAT rate for all lines, or a column that says each line's rate.
    bool ratesDiffer() const {
        if (invoice_.taxCase != TaxCase::Normal)
            return false;
        for (const InvoiceLine& line : invoice_.lines)
            if (line.vatRateHundredths != invoice_.lines.front().vatRateHundredths)
                return true;
        return false;
    }

    void addPositions() {
        const bool rates = ratesDiffer();
        auto table = std::make_shared<LetterTable>();
        if (rates) {
            table->edges = {25, 33, 98, 116, 130, 143, 165, 190};
            table->titles = {QStringLiteral("Pos."),       QStringLiteral("Beschreibung"),
                             QStringLiteral("Menge"),      QStringLiteral("Einheit"),
                             QStringLiteral("USt."),       QStringLiteral("Einzelpreis"),
                             QStringLiteral("Gesamtpreis")};
            table->alignments = {Qt::AlignLeft,  Qt::AlignLeft,  Qt::AlignRight, Qt::AlignLeft,
                                 Qt::AlignRight, Qt::AlignRight, Qt::AlignRight};
        } else {
            table->edges = {25, 35, 106, 124, 140, 164, 190};
            table->titles = {QStringLiteral("Pos."),        QStringLiteral("Beschreibung"),
                             QStringLiteral("Menge"),       QStringLiteral("Einheit"),
                             QStringLiteral("Einzelpreis"), QStringLiteral("Gesamtpreis")};
            table->alignments = {Qt::AlignLeft, Qt::AlignLeft,  Qt::AlignRight,
                                 Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight};
        }
        table->wrapColumn = 1;
        std::vector<LetterTableRow> rows;
        const auto& lines = invoice_.lines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const InvoiceLine& line = lines[i];
            std::vector<QString> cells{QString::number(i + 1), utf8(line.description),
                                       quantityText(line.quantityMilli), unitSymbol(line.unitCode)};
            if (rates)
                cells.push_back(rateText(line.vatRateHundredths));
            cells.push_back(money(line.unitPrice));
            cells.push_back(money(lineTotal(line)));
            rows.push_back({std::move(cells), false, 1.2, i + 1 < lines.size()});
        }
        addTable(table, rows);
    }

    // Net, the VAT per rate and the gross of the work this invoice charges. The cases without
    // VAT charged show no VAT amount at all: under § 13b UStG the buyer owes it, under § 19 UStG
    // none is due.
    void addTotalsOfWork() {
        const Invoice& in = invoice_;
        const bool final = in.kind == InvoiceKind::Final && !in.partials.empty();
        std::vector<TotalsLine> lines;
        if (in.taxCase == TaxCase::Normal) {
            lines.push_back({QStringLiteral("Nettobetrag"), money(totals_.lineTotal)});
            for (const VatBreakdown& vat : totals_.vat) {
                QString label = QStringLiteral("zzgl. USt. %1").arg(rateText(vat.rateHundredths));
                if (totals_.vat.size() > 1)
                    label += QStringLiteral(" auf %1").arg(money(vat.basis));
                lines.push_back({label, money(vat.vat)});
            }
        }
        QString gross = QStringLiteral("Gesamtbetrag (brutto)");
        if (in.kind == InvoiceKind::CreditNote)
            gross = QStringLiteral("Gutschriftbetrag");
        else if (in.taxCase == TaxCase::ReverseCharge)
            gross = QStringLiteral("Rechnungsbetrag (netto, ohne Umsatzsteuer)");
        else if (in.taxCase == TaxCase::SmallBusiness)
            gross = QStringLiteral("Rechnungsbetrag");
        lines.push_back({gross, money(totals_.grandTotal),
                         final ? TotalsLine::Kind::Sum : TotalsLine::Kind::Grand});
        addTotals(lines, 85);
    }

    // The partial invoices one by one, their sum, and what remains to pay.
    void addDeductions() {
        addParagraphs(QStringLiteral("Abzüglich der bereits gestellten Abschlagsrechnungen:"),
                      bodyBold_, 1);
        auto table = std::make_shared<LetterTable>();
        table->edges = {25, 75, 100, 130, 160, 190};
        table->titles = {QStringLiteral("Abschlagsrechnung"), QStringLiteral("Datum"),
                         QStringLiteral("Netto"), QStringLiteral("USt."), QStringLiteral("Brutto")};
        table->alignments = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight,
                             Qt::AlignRight};
        table->wrapColumn = 0;
        std::vector<LetterTableRow> rows;
        Money net;
        Money vat;
        for (const PriorInvoice& partial : invoice_.partials) {
            rows.push_back({{utf8(partial.number), date(partial.date), money(partial.net),
                             money(partial.vat), money(partial.gross)},
                            false,
                            0.6,
                            false});
            net += partial.net;
            vat += partial.vat;
        }
        rows.back().ruleAfter = true;
        rows.push_back({{QStringLiteral("Summe der Abschläge"), QString(), money(net), money(vat),
                         money(totals_.prepaid)},
                        true,
                        1.2,
                        false});
        addTable(table, rows);
        addTotals(
            {{QStringLiteral("Gesamtbetrag (brutto)"), money(totals_.grandTotal)},
             {QStringLiteral("abzüglich Abschlagsrechnungen (brutto)"), money(-totals_.prepaid)},
             {QStringLiteral("Zahlbetrag"), money(totals_.duePayable), TotalsLine::Kind::Grand}},
            85);
    }

    void addNotes() {
        const Invoice& in = invoice_;
        QStringList notes;
        if (in.taxCase == TaxCase::ReverseCharge) {
            notes << utf8(reverseChargeNote()) +
                         QStringLiteral(": Die Umsatzsteuer schuldet der Leistungsempfänger.");
        } else if (in.taxCase == TaxCase::SmallBusiness) {
            notes << utf8(smallBusinessNote());
        }
        if (in.privateCustomer) {
            if (const std::string labour = labourShareNote(totals_); !labour.empty())
                notes << utf8(labour);
            notes << utf8(retentionNote());
        }
        for (const std::string& note : in.notes)
            if (!blank(note))
                notes << utf8(note);
        for (const QString& note : notes)
            addParagraphs(note, body_, 2);
        if (!notes.isEmpty())
            addSpace(2);
    }

    void addPayment() {
        const Invoice& in = invoice_;
        // The firm's own terms first, then the sentence with the amount, the date and the account.
        QString text = utf8(in.paymentTerms);
        const auto sentence = [&](const QString& more, bool paragraph = true) {
            if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
                text += paragraph ? QLatin1Char('\n') : QLatin1Char(' ');
            text += more;
        };
        QStringList account;
        account << QStringLiteral("IBAN %1").arg(
            toQString(groupedIban(utf8(in.bank.iban).toStdU16String())));
        if (!blank(in.bank.bic))
            account << QStringLiteral("BIC %1").arg(utf8(in.bank.bic));
        if (!blank(in.bank.holder))
            account << QStringLiteral("Kontoinhaber %1").arg(utf8(in.bank.holder));
        if (in.kind == InvoiceKind::CreditNote) {
            sentence(QStringLiteral("Den Betrag von %1 erstatten wir Ihnen.")
                         .arg(money(totals_.duePayable)));
        } else if (totals_.duePayable < Money()) {
            sentence(QStringLiteral("Sie haben %1 mehr gezahlt, als die Leistung kostet; den "
                                    "Betrag erstatten wir Ihnen.")
                         .arg(money(-totals_.duePayable)));
        } else {
            sentence(QStringLiteral("Bitte überweisen Sie den Betrag von %1 bis zum %2 ohne "
                                    "Abzug unter Angabe der Rechnungsnummer %3 auf das Konto %4.")
                         .arg(money(totals_.duePayable), date(in.dueDate()), utf8(in.number),
                              account.join(QStringLiteral(", "))));
            if (in.skonto && totals_.duePayable > Money()) {
                const Money skonto = skontoAmount(in, totals_);
                sentence(QStringLiteral("Bei Zahlung bis zum %1 (innerhalb von %2 Tagen) "
                                        "gewähren wir %3 Skonto (%4); Sie überweisen dann %5.")
                             .arg(date(addDays(in.issueDate, in.skonto->days)))
                             .arg(in.skonto->days)
                             .arg(rateText(in.skonto->percentHundredths), money(skonto),
                                  money(totals_.duePayable - skonto)),
                         false);
            }
        }
        addParagraphs(text, body_, 4);
    }

    const Invoice& invoice_;
    InvoiceTotals totals_;
};

PdfSetup invoicePdfSetup(const Invoice& invoice) {
    return {utf8(invoiceKindTitle(invoice.kind)) + QLatin1Char(' ') + utf8(invoice.number),
            utf8(invoice.seller.name), 600};
}

} // namespace

QString unitSymbol(const std::string& unitCode) {
    static const std::pair<const char*, const char*> symbols[] = {
        {"MTK", "m²"},      {"MTR", "m"},    {"MTQ", "m³"},  {"H87", "Stk."}, {"C62", ""},
        {"LS", "pauschal"}, {"HUR", "Std."}, {"KGM", "kg"},  {"TNE", "t"},    {"LTR", "l"},
        {"DAY", "Tag(e)"},  {"SET", "Satz"}, {"PR", "Paar"}, {"RO", "Rolle"}, {"MIN", "min"}};
    for (const auto& [code, symbol] : symbols)
        if (unitCode == code)
            return QString::fromUtf8(symbol);
    return utf8(unitCode);
}

int paintInvoice(const Invoice& invoice, const InvoiceLetterhead& letterhead,
                 QPagedPaintDevice& device) {
    std::vector<std::string> missing = missingItems(invoice);
    if (blank(invoice.number))
        missing.insert(missing.begin(), "Die Rechnungsnummer fehlt.");
    if (!missing.empty())
        throw PrintError(utf8(missing.front()));
    InvoicePainter painter(invoice, letterhead, device);
    return painter.paint();
}

QByteArray invoicePdf(const Invoice& invoice, const InvoiceLetterhead& letterhead) {
    return pdfBytes(invoicePdfSetup(invoice), [&](QPagedPaintDevice& device) {
        return paintInvoice(invoice, letterhead, device);
    });
}

QString suggestedInvoiceFileName(const Invoice& invoice) {
    QString name = utf8(invoiceKindTitle(invoice.kind));
    name.remove(QStringLiteral(" (Storno)"));
    for (const QString& part : {utf8(invoice.number), utf8(invoice.buyer.name)})
        if (!part.isEmpty())
            name += QLatin1Char(' ') + part;
    QString safe;
    for (const QChar c : name)
        safe +=
            c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? QLatin1Char('_') : c;
    return safe.left(120).trimmed() + QStringLiteral(".pdf");
}

} // namespace pyrelto
