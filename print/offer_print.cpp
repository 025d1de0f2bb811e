#include "offer_print.h"

#include "field_text_isolation.h"
#include "letter_painter.h"
#include "pdf_file.h"
#include "qt_text.h"

#include <QPagedPaintDevice>
#include <memory>

namespace pyrelto {

QString isolatedField(const QString& text) {
    const std::u16string isolated = isolatedFieldText(text.trimmed().toStdU16String());
    return QString::fromStdU16String(isolated).trimmed();
}

namespace {

class OfferPainter final : public LetterPainter {
public:
    OfferPainter(const OfferDocument& offer, QPagedPaintDevice& device)
        : LetterPainter(frameOf(offer), device), offer_(offer) {}

private:
    static LetterFrame frameOf(const OfferDocument& offer) {
        LetterFrame frame;
        frame.firm = offer.firm;
        const OfferChoices& c = offer.choices;
        if (!toQString(c.recipientName).trimmed().isEmpty())
            frame.recipient << toQString(c.recipientName).trimmed();
        for (const QString& part : toQString(c.recipientAddress).split(QLatin1Char('\n')))
            if (!part.trimmed().isEmpty())
                frame.recipient << part.trimmed();
        const QString number = toQString(c.number).trimmed();
        const QString date = toQString(germanDate(c.date));
        frame.info = {{QStringLiteral("Angebotsnummer"), number},
                      {QStringLiteral("Datum"), date},
                      {QStringLiteral("Gültig bis"), toQString(germanDate(c.validUntil))}};
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
        addLine(subjectText, letterFont(12, true), kAccent, 2, 1.2);
        addLine(QStringLiteral("Angebotsnummer %1").arg(toQString(c.number).trimmed()), body_,
                kMuted, 4);
        if (!toQString(c.introduction).trimmed().isEmpty())
            addParagraphs(toQString(c.introduction).trimmed(), body_, 4);
        addPositions();
        addTotals(
            {{QStringLiteral("Nettobetrag"), toQString(offer_.net)},
             {toQString(offer_.vatLabel), toQString(offer_.vat)},
             {QStringLiteral("Gesamtbetrag"), toQString(offer_.gross), TotalsLine::Kind::Grand}},
            110);
        QString terms = QStringLiteral("Dieses Angebot ist gültig bis zum %1.")
                            .arg(toQString(germanDate(c.validUntil)));
        const QString payment = toQString(offer_.firm.paymentTerms).trimmed().isEmpty()
                                    ? toQString(FirmData::defaultPaymentTerms())
                                    : toQString(offer_.firm.paymentTerms).trimmed();
        terms += QLatin1Char(' ') + payment;
        addParagraphs(terms, body_, 4);
        const QString closing = toQString(offer_.firm.closingText).trimmed().isEmpty()
                                    ? toQString(FirmData::defaultClosingText())
                                    : toQString(offer_.firm.closingText).trimmed();
        addParagraphs(closing, body_, 3);
        QStringList signature;
        if (!toQString(offer_.firm.contact).trimmed().isEmpty())
            signature << toQString(offer_.firm.contact).trimmed();
        if (!toQString(offer_.firm.name).trimmed().isEmpty())
            signature << toQString(offer_.firm.name).trimmed();
        if (!signature.isEmpty())
            addParagraphs(signature.join(QLatin1Char('\n')), body_, 0);
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
};

PdfSetup offerPdfSetup(const OfferDocument& offer) {
    return {QStringLiteral("Angebot ") + toQString(offer.choices.number).trimmed(),
            toQString(offer.firm.name).trimmed(), 600};
}

} // namespace

int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device) {
    OfferPainter painter(offer, device);
    return painter.paint();
}

QByteArray offerPdf(const OfferDocument& offer) {
    return pdfBytes(offerPdfSetup(offer),
                    [&](QPagedPaintDevice& device) { return paintOffer(offer, device); });
}

void writeOfferPdf(const OfferDocument& offer, const QString& fileName) {
    writePdfFile(fileName, offerPdfSetup(offer),
                 [&](QPagedPaintDevice& device) { return paintOffer(offer, device); });
}

} // namespace pyrelto
