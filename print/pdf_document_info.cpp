#include "pdf_document_info.h"

#include <QRegularExpression>

namespace pyrelto {

namespace {

// A PDF text string in UTF-16BE with its byte order mark, hex-encoded: safe for any character.
QByteArray pdfText(const QString& text) {
    QByteArray out("<FEFF");
    for (const QChar c : text)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    out += '>';
    return out;
}

} // namespace

QByteArray withDocumentAuthor(const QByteArray& pdf, const QString& author) {
    if (author.isEmpty())
        return pdf;
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    const qsizetype startxrefAt = pdf.lastIndexOf("startxref");
    if (trailerAt < 0 || startxrefAt < trailerAt)
        return pdf;
    const QString trailer = QString::fromLatin1(pdf.mid(trailerAt, startxrefAt - trailerAt));
    const QString tail = QString::fromLatin1(pdf.mid(startxrefAt));
    const auto size = QRegularExpression(QStringLiteral("/Size\\s+(\\d+)")).match(trailer);
    const auto root =
        QRegularExpression(QStringLiteral("/Root\\s+(\\d+\\s+\\d+\\s+R)")).match(trailer);
    const auto info =
        QRegularExpression(QStringLiteral("/Info\\s+(\\d+)\\s+0\\s+R")).match(trailer);
    const auto xref = QRegularExpression(QStringLiteral("startxref\\s+(\\d+)")).match(tail);
    if (!size.hasMatch() || !root.hasMatch() || !xref.hasMatch())
        return pdf;

    // The old dictionary's entries are kept; the author goes in front of them.
    QByteArray entries;
    if (info.hasMatch()) {
        const QByteArray head = info.captured(1).toLatin1() + " 0 obj";
        const qsizetype objectAt = pdf.lastIndexOf("\n" + head);
        const qsizetype open = objectAt < 0 ? -1 : pdf.indexOf("<<", objectAt);
        const qsizetype close = open < 0 ? -1 : pdf.indexOf(">>", open);
        const qsizetype end = objectAt < 0 ? -1 : pdf.indexOf("endobj", objectAt);
        if (open >= 0 && close >= 0 && close < end)
            entries = pdf.mid(open + 2, close - open - 2);
    }
    const int object = size.captured(1).toInt();
    QByteArray out = pdf;
    if (!out.endsWith('\n'))
        out += '\n';
    const qsizetype objectOffset = out.size();
    out += QByteArray::number(object) + " 0 obj\n<<\n/Author " + pdfText(author) + "\n" + entries +
           "\n>>\nendobj\n";
    const qsizetype xrefOffset = out.size();
    out += "xref\n" + QByteArray::number(object) + " 1\n" +
           QByteArray::number(objectOffset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<<\n/Size " + QByteArray::number(object + 1) + "\n/Root " +
           root.captured(1).toLatin1() + "\n/Info " + QByteArray::number(object) + " 0 R\n/Prev " +
           xref.captured(1).toLatin1() + "\n>>\nstartxref\n" + QByteArray::number(xrefOffset) +
           "\n%%EOF\n";
    return out;
}

} // namespace pyrelto
