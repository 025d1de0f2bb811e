#pragma once
// PDF files read back as a reader sees them, with poppler's pdftotext and pdfinfo. A tool that
// cannot run or fails makes the calling test fail.

#include <QString>
#include <QStringList>

namespace pyrelto::test {

// The standard output of `program` run with `arguments` (UTF-8).
QString runTool(const QString& program, const QStringList& arguments);

enum class PdfLayout { Layout, Raw };
// The text of the file; Layout keeps the columns in place (pdftotext -layout).
QString pdfText(const QString& path, PdfLayout layout = PdfLayout::Layout);
// The value of one line of pdfinfo ("Title", "Pages", ...), or "<none>".
QString pdfInfo(const QString& path, const QString& entry);
int pdfPages(const QString& path);

} // namespace pyrelto::test
