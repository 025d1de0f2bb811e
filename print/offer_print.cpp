#include "offer_print.h"

#include "field_text_isolation.h"
#include "letter_painter.h"
#include "pdf_file.h"
#include "qt_text.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <memory>
#include <vector>

namespace pyrelto {

QString isolatedField(const QString& text) {
    const std::u16string isolated = isolatedFieldText(text.trimmed().toStdU16String());
    return QString::fromStdU16String(isolated).trimmed();
}

namespace {

class OfferPainter final : public LetterPainter {
public:
    OfferPainter(const OfferDocument& offer, QPagedPaintDevice& device,
                 const TakeOffPrint& attachment)
        : LetterPainter(frameOf(offer), device), offer_(offer), attachment_(attachment) {}

private:
    int paintAppendix(QPainter& painter, QPagedPaintDevice& device) override {
        return paintTakeOffPages(painter, device, attachment_, true);
    }

    static LetterFrame frameOf(const OfferDocument& offer) {
        LetterFrame frame;
        frame.firm = offer.firm;
        const OfferChoices& c = offer.choices;
        for (const std::u16string& part : recipientLines(c))
            frame.recipient << toQString(part);
        const QString number = toQString(c.number).trimmed();
        const QString date = toQString(germanDate(c.date));
        frame.info = {{QStringLiteral("Angebotsnummer"), number},
                      {QStringLiteral("Datum"), date},
                      {QStringLiteral("Gültig bis"), toQString(germanDate(c.validUntil))}};
        // Beside the recipient, who is often the property manager and not the roof.
        if (!offer.site.empty())
            frame.info.append({QStringLiteral("Bauvorhaben"), toQString(offer.site)});
        const FirmData& firm = offer.firm;
        if (!toQString(firm.contact).trimmed().isEmpty())
            frame.info.append(
                {QStringLiteral("Ansprechpartner"), toQString(firm.contact).trimmed()});
        if (!toQString(firm.phone).trimmed().isEmpty())
            frame.info.append({QStringLiteral("Telefon"), toQString(firm.phone).trimmed()});
        if (!toQString(firm.email).trimmed().isEmpty())
            frame.info.append({QStringLiteral("E-Mail"), toQString(firm.email).trimmed()});
        frame.followTitle = QStringLiteral("Angebot %1 vom %2").arg(number, date);
        frame.failureText = QStringLiteral("Das Angebot konnte nicht erstellt werden.");
        return frame;
    }

    void buildBody() override {
        const OfferChoices& c = offer_.choices;
        const QString subjectText = toQString(c.subject).trimmed().isEmpty()
                                        ? toQString(OfferChoices::defaultSubject())
                                        : toQString(c.subject).trimmed();
        // The number stands in the information block; once is enough.
        addParagraphs(subjectText, letterFont(12, true), 5, kAccent);
        if (!toQString(c.introduction).trimmed().isEmpty())
            addParagraphs(toQString(c.introduction).trimmed(), body_, 4);
        addPositions();
        std::vector<TotalsLine> totals;
        // The tax cases that charge no VAT show no VAT amount at all, only what is paid and why.
        if (!offer_.vatLabel.empty()) {
            totals.push_back({QStringLiteral("Nettobetrag"), toQString(offer_.net)});
            totals.push_back({toQString(offer_.vatLabel), toQString(offer_.vat)});
        }
        totals.push_back(
            {toQString(offer_.grossLabel), toQString(offer_.gross), TotalsLine::Kind::Grand});
        addTotals(totals, 110);
        if (!offer_.taxNote.empty())
            addParagraphs(toQString(offer_.taxNote), bodyBold_, 3);
        if (!offer_.labourShare.empty())
            addParagraphs(toQString(offer_.labourShare), body_, 3);
        if (!offer_.period.empty())
            addParagraphs(QStringLiteral("Ausführungszeitraum: ") + toQString(offer_.period), body_,
                          3);
        addParagraphs(toQString(offer_.terms), body_, offer_.paymentPlan.empty() ? 4 : 2);
        if (!offer_.paymentPlan.empty())
            addParagraphs(toQString(offer_.paymentPlan), body_, 4);
        const QString closing = toQString(offer_.firm.closingText).trimmed().isEmpty()
                                    ? toQString(FirmData::defaultClosingText())
                                    : toQString(offer_.firm.closingText).trimmed();
        addParagraphs(closing, body_, 3);
        QStringList signature;
        if (!toQString(offer_.firm.contact).trimmed().isEmpty())
            signature << toQString(offer_.firm.contact).trimmed();
        if (!toQString(offer_.firm.name).trimmed().isEmpty())
            signature << toQString(offer_.firm.name).trimmed();
        if (c.signatureLine) {
            // The closing, the line and the names under it stay together.
            addSignatureLines({signature.isEmpty() ? QStringLiteral("Unterschrift")
                                                   : signature.join(QStringLiteral(", "))},
                              14);
            keepTogether(flowSize() - 2);
        } else if (!signature.isEmpty()) {
            addParagraphs(signature.join(QLatin1Char('\n')), body_, 0);
        }
        if (c.acceptanceSlip)
            addAcceptanceSlip();
    }

    // The customer's part to sign and send back, whole on one page.
    void addAcceptanceSlip() {
        addSpace(10);
        const std::size_t first = flowSize();
        addParagraphs(QStringLiteral("Auftragserteilung"), letterFont(10.5, true), 2, kAccent);
        addParagraphs(toQString(acceptanceText(offer_)), body_, 0);
        addSignatureLines(
            {QStringLiteral("Ort, Datum"), QStringLiteral("Unterschrift des Auftraggebers")}, 16);
        keepTogether(first);
    }

    // A position with a price is bold with a rule above it; the positions describing what it
    // includes follow it in the plain font.
    void addPositions() {
        const auto table = std::make_shared<const LetterTable>(
            LetterTable{{25, 35, 106, 124, 140, 164, 190},
                        {QStringLiteral("Pos."), QStringLiteral("Beschreibung"),
                         QStringLiteral("Menge"), QStringLiteral("Einheit"),
                         QStringLiteral("Einzelpreis"), QStringLiteral("Gesamtpreis")},
                        {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft,
                         Qt::AlignRight, Qt::AlignRight},
                        1});
        std::vector<LetterTableRow> rows;
        const auto& positions = offer_.positions;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const OfferPosition& position = positions[i];
            const bool charged = !position.total.empty();
            rows.push_back({{toQString(position.number), toQString(position.description),
                             toQString(position.quantity), toQString(position.unit),
                             toQString(position.unitPrice), toQString(position.total)},
                            charged,
                            charged ? 1.6 : 0.6,
                            i + 1 < positions.size() && !positions[i + 1].total.empty()});
        }
        addTable(table, rows);
    }

    const OfferDocument& offer_;
    const TakeOffPrint& attachment_;
};

PdfSetup offerPdfSetup(const OfferDocument& offer) {
    return {QStringLiteral("Angebot ") + toQString(offer.choices.number).trimmed(),
            toQString(offer.firm.name).trimmed(), 600};
}

} // namespace

QStringList offerLayoutProblems(const OfferDocument& offer) {
    // Laid out on the PDF writer the offer is saved with; nothing is painted.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(offerPdfSetup(offer).resolution);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    const TakeOffPrint noAttachment;
    OfferPainter painter(offer, writer, noAttachment);
    return painter.layoutProblems();
}

int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device,
               const TakeOffPrint& attachment) {
    OfferPainter painter(offer, device, attachment);
    return painter.paint();
}

QByteArray offerPdf(const OfferDocument& offer, const TakeOffPrint& attachment) {
    return pdfBytes(offerPdfSetup(offer), [&](QPagedPaintDevice& device) {
        return paintOffer(offer, device, attachment);
    });
}

void writeOfferPdf(const OfferDocument& offer, const QString& fileName,
                   const TakeOffPrint& attachment) {
    writePdfFile(fileName, offerPdfSetup(offer),
                 [&](QPagedPaintDevice& device) { return paintOffer(offer, device, attachment); });
}

} // namespace pyrelto
