#include "pdf_reader.h"

#include "qt_strings.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pyrelto::test {

QString runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << toStd(program) << " did not finish";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << toStd(program);
    EXPECT_EQ(process.exitCode(), 0)
        << toStd(program) << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString& path, PdfLayout layout) {
    QStringList arguments{path, QStringLiteral("-")};
    if (layout == PdfLayout::Layout) {
        arguments.prepend(QStringLiteral("-layout"));
    }
    return runTool(QStringLiteral("pdftotext"), arguments);
}

QString pdfInfo(const QString& path, const QString& entry) {
    const QString info = runTool(QStringLiteral("pdfinfo"), {path});
    const auto match =
        QRegularExpression(QStringLiteral("(?m)^") + QRegularExpression::escape(entry) +
                           QStringLiteral(":[ \\t]*(.*)$"))
            .match(info);
    return match.hasMatch() ? match.captured(1).trimmed() : QStringLiteral("<none>");
}

int pdfPages(const QString& path) {
    bool ok = false;
    const int pages = pdfInfo(path, QStringLiteral("Pages")).toInt(&ok);
    return ok ? pages : -1;
}

} // namespace pyrelto::test
