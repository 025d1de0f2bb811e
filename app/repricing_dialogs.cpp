#include "repricing_dialogs.h"

#include "MainUnit.h"
#include "dialogs.h"
#include "safe_write.h"
#include "sheet_articles.h"
#include "torvane.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

namespace pyrelto {

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString priceText(std::optional<std::int64_t> cents) {
    return cents ? moneyText(*cents) : QString();
}

// The report's lines, made once: a folder of 500 files has a few thousand.
class ReportModel final : public QAbstractTableModel {
public:
    using Line = std::array<QString, FolderRepricingDialog::ColumnCount>;

    ReportModel(const FolderRepricing& report, QObject* parent) : QAbstractTableModel(parent) {
        for (const FileRepricing& file : report.files) {
            const QString name = QString::fromStdU16String(file.file.filename().u16string());
            const bool damaged = file.outcome == FileRepricingOutcome::Damaged;
            const QString before = damaged ? QString() : moneyText(file.netBeforeCents);
            const QString after = damaged ? QString() : moneyText(file.netAfterCents);
            const QString note = utf8(file.problem);
            if (file.rows.empty() || file.outcome == FileRepricingOutcome::NotWritten) {
                lines_.push_back({name, QString(), QString(), QString(),
                                  utf8(fileRepricingOutcomeText(file.outcome)), QString(),
                                  QString(), before, after, note});
            }
            for (const RepricedRow& row : file.rows) {
                lines_.push_back({name, utf8(rowSlotName(row.slot)), utf8(row.supplier),
                                  utf8(row.articleNumber), utf8(repriceStatusText(row.status)),
                                  moneyText(row.oldCents), priceText(row.newCents), before, after,
                                  note});
            }
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : FolderRepricingDialog::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || static_cast<std::size_t>(index.row()) >= lines_.size())
            return {};
        if (role == Qt::TextAlignmentRole) {
            const bool money = index.column() >= FolderRepricingDialog::OldPrice &&
                               index.column() <= FolderRepricingDialog::NetAfter;
            return money ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        }
        if (role != Qt::DisplayRole)
            return {};
        return lines_[static_cast<std::size_t>(index.row())]
                     [static_cast<std::size_t>(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const std::array<const char*, FolderRepricingDialog::ColumnCount> kHeaders{
            "Datei",     "Zeile",     "Lieferant",    "Artikelnummer", "Status",
            "Preis alt", "Preis neu", "Netto vorher", "Netto nachher", "Hinweis"};
        return QString::fromUtf8(kHeaders[static_cast<std::size_t>(section)]);
    }

private:
    std::vector<Line> lines_;
};

QString folderSummary(const FolderRepricing& report) {
    std::array<int, 5> counts{};
    for (const FileRepricing& file : report.files)
        ++counts[static_cast<std::size_t>(file.outcome)];
    QString text = QStringLiteral("Kalkulationen im Ordner: %1 – mit neuen Preisen: %2, "
                                  "unverändert: %3, ohne Artikelnummern: %4, beschädigt: %5.")
                       .arg(report.files.size())
                       .arg(counts[static_cast<std::size_t>(FileRepricingOutcome::Repriced)])
                       .arg(counts[static_cast<std::size_t>(FileRepricingOutcome::Unchanged)])
                       .arg(counts[static_cast<std::size_t>(FileRepricingOutcome::NoArticles)])
                       .arg(counts[static_cast<std::size_t>(FileRepricingOutcome::Damaged)]);
    text +=
        counts[static_cast<std::size_t>(FileRepricingOutcome::Repriced)] > 0
            ? QStringLiteral("\nNoch ist nichts geändert. „Übernehmen“ schreibt die Dateien mit "
                             "neuen Preisen; die alte Fassung bleibt jeweils als "
                             "„NAME.kal.bak“ daneben.")
            : QStringLiteral("\nKeine Datei bekommt einen neuen Preis.");
    return text;
}

} // namespace

QString moneyText(std::int64_t cents) {
    return QString::fromStdU16String(centsText(cents, regionalNumberFormat().decimalSeparator));
}

SheetRepricingDialog::SheetRepricingDialog(const std::vector<RepricedRow>& rows,
                                           std::int64_t netBeforeCents, std::int64_t netAfterCents,
                                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("sheetRepricingDialog"));
    setWindowTitle(QStringLiteral("Preise aktualisieren"));
    auto* layout = new QVBoxLayout(this);
    rowTable = new QTableWidget(static_cast<int>(rows.size()), ColumnCount, this);
    rowTable->setObjectName(QStringLiteral("rowTable"));
    rowTable->setHorizontalHeaderLabels({QStringLiteral("Zeile"), QStringLiteral("Artikel"),
                                         QStringLiteral("Preis alt"), QStringLiteral("Preis neu"),
                                         QStringLiteral("Status")});
    rowTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rowTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    rowTable->verticalHeader()->hide();
    rowTable->horizontalHeader()->setStretchLastSection(true);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const RepricedRow& row = rows[static_cast<std::size_t>(i)];
        const auto set = [this, i](int column, const QString& text, bool money = false) {
            auto* item = new QTableWidgetItem(text);
            if (money)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            rowTable->setItem(i, column, item);
        };
        set(Row, utf8(rowSlotName(row.slot)));
        set(Article, row.supplier.empty() ? utf8(row.articleNumber)
                                          : QStringLiteral("%1 (%2)").arg(utf8(row.articleNumber),
                                                                          utf8(row.supplier)));
        set(OldPrice, moneyText(row.oldCents), true);
        set(NewPrice, priceText(row.newCents), true);
        // A row that keeps its price says why.
        set(Status, row.status == RepriceStatus::Changed || row.status == RepriceStatus::Unchanged
                        ? utf8(repriceStatusText(row.status))
                        : utf8(repriceStatusText(row.status)) + QStringLiteral(": bleibt"));
    }
    rowTable->resizeColumnsToContents();
    netLabel = new QLabel(QStringLiteral("Endsumme netto: %1 → %2")
                              .arg(moneyText(netBeforeCents), moneyText(netAfterCents)),
                          this);
    netLabel->setObjectName(QStringLiteral("netLabel"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    applyButton = buttons->button(QDialogButtonBox::Ok);
    applyButton->setText(QStringLiteral("Übernehmen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    // Enter must not change prices by reflex.
    applyButton->setAutoDefault(false);
    applyButton->setDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(new QLabel(QStringLiteral("Neue Preise aus dem Katalog:"), this));
    layout->addWidget(rowTable);
    layout->addWidget(netLabel);
    layout->addWidget(buttons);
    resize(560, 340);
}

FolderRepricingDialog::FolderRepricingDialog(FolderRepricing report, QWidget* parent)
    : QDialog(parent), report_(std::move(report)) {
    setObjectName(QStringLiteral("folderRepricingDialog"));
    setWindowTitle(QStringLiteral("Preise aktualisieren (Ordner)"));
    auto* layout = new QVBoxLayout(this);
    summaryLabel = new QLabel(folderSummary(report_), this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setWordWrap(true);
    reportTable = new QTableView(this);
    reportTable->setObjectName(QStringLiteral("reportTable"));
    reportTable->setModel(new ReportModel(report_, reportTable));
    reportTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reportTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    reportTable->verticalHeader()->hide();
    reportTable->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(this);
    exportButton =
        buttons->addButton(QStringLiteral("Als CSV exportieren..."), QDialogButtonBox::ActionRole);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    applyButton = buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    applyButton->setAutoDefault(false);
    applyButton->setEnabled(
        std::any_of(report_.files.begin(), report_.files.end(), [](const FileRepricing& file) {
            return file.outcome == FileRepricingOutcome::Repriced;
        }));
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(exportButton, &QPushButton::clicked, this, [this] { exportCsv(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(summaryLabel);
    layout->addWidget(reportTable);
    layout->addWidget(buttons);
    resize(900, 480);
}

void FolderRepricingDialog::exportCsv() {
    const auto name =
        dialogs().saveFileName(this, QStringLiteral("CSV-Datei (*.csv)|*.csv"),
                               QStringLiteral(".csv"), QStringLiteral("Preisaktualisierung.csv"));
    if (!name)
        return;
    const std::string csv = repricingCsv(report_);
    try {
        if (!writeFileSafely(name->toStdU16String(),
                             std::span(reinterpret_cast<const std::byte*>(csv.data()), csv.size())))
            dialogs().message(
                this, QString(),
                QStringLiteral("Die Datei „%1“ kann nicht angelegt werden.").arg(*name),
                Dialogs::Icon::Error);
    } catch (const IoError& error) {
        dialogs().message(this, QString(),
                          QStringLiteral("Die Datei „%1“ wurde nicht geschrieben: %2")
                              .arg(*name, QString::fromUtf8(error.what())),
                          Dialogs::Icon::Error);
    }
}

} // namespace pyrelto
