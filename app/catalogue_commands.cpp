// The price catalogue in the window: picking an article into a row, importing a price list,
// re-pricing the open calculation or a folder of them.

#include "MainUnit.h"
#include "article_picker.h"
#include "catalogue_tab.h"
#include "csv_import_dialog.h"
#include "dialogs.h"
#include "folder_repricing.h"
#include "price_list_file.h"
#include "repricing_dialogs.h"
#include "sheet_articles.h"
#include "sheet_view.h"
#include "store.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QShortcut>
#include <algorithm>

namespace pyrelto {

namespace {

// Every field of the row `slot`'s description sits in.
RowId rowOf(RowSlot slot) {
    return fieldCatalogue()[static_cast<std::size_t>(sheetRowFields(slot).description)].row;
}

QString importSummary(const PriceList& list, const ImportPlan& plan) {
    QString text = QStringLiteral("Format: %1")
                       .arg(list.format == PriceListFormat::Datanorm4 ? QStringLiteral("DATANORM 4")
                                                                      : QStringLiteral("CSV"));
    if (list.format == PriceListFormat::Csv) {
        text += QStringLiteral(", Zeichensatz %1, Trennzeichen „%2“")
                    .arg(QString::fromLatin1(encodingName(list.encoding)),
                         list.delimiter == '\t' ? QStringLiteral("Tab")
                                                : QString(QLatin1Char(list.delimiter)));
    }
    text += QStringLiteral("\nLieferant: %1\n\nNeu: %2\nGeändert: %3\nEntfallen: %4\nUnverändert: "
                           "%5")
                .arg(QString::fromStdString(plan.supplier))
                .arg(plan.added.size())
                .arg(plan.changed.size())
                .arg(plan.withdrawn.size())
                .arg(plan.unchanged);
    if (!plan.problems.empty()) {
        text += QStringLiteral("\n\nNicht lesbar (%1):").arg(plan.problems.size());
        constexpr std::size_t kListed = 20;
        for (std::size_t i = 0; i < plan.problems.size() && i < kListed; ++i) {
            const ImportProblem& problem = plan.problems[i];
            text += problem.line == 0
                        ? QStringLiteral("\n%1").arg(QString::fromStdString(problem.reason))
                        : QStringLiteral("\nZeile %1: %2")
                              .arg(problem.line)
                              .arg(QString::fromStdString(problem.reason));
        }
        if (plan.problems.size() > kListed)
            text += QStringLiteral("\n…");
    }
    return text;
}

// Every supplier with articles in the catalogue, once each.
std::vector<std::string> cataloguedSuppliers(Store& store) {
    std::vector<std::string> suppliers;
    // The articles come sorted by supplier.
    for (const Article& article : store.catalogue()->catalogue.articles()) {
        if (suppliers.empty() || suppliers.back() != article.supplier)
            suppliers.push_back(article.supplier);
    }
    return suppliers;
}

QString catalogueEmptyMessage() {
    return QStringLiteral("Der Katalog ist leer. Bitte zuerst eine Preisliste importieren "
                          "(Materialien → Preisliste importieren...).");
}

// The folder's files one by one, with a progress dialog once it takes long enough to notice; the
// dialog keeps the window painting between files. Only the dry run may be stopped: a run that
// writes finishes what it started.
FolderRepricing repriceWithProgress(QWidget* parent, const std::filesystem::path& folder,
                                    const Catalogue& catalogue, bool dryRun) {
    QProgressDialog progress(dryRun ? QStringLiteral("Kalkulationen werden geprüft...")
                                    : QStringLiteral("Kalkulationen werden geschrieben..."),
                             dryRun ? QStringLiteral("Abbrechen") : QString(), 0, 0, parent);
    progress.setWindowTitle(QStringLiteral("Preise aktualisieren"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    return repriceFolder(folder, catalogue, dryRun,
                         [&progress](std::size_t done, std::size_t total) {
                             progress.setMaximum(static_cast<int>(total));
                             progress.setValue(static_cast<int>(done));
                             return !progress.wasCanceled();
                         });
}

QString writtenSummary(const FolderRepricing& written) {
    int repriced = 0;
    QString failures;
    for (const FileRepricing& file : written.files) {
        if (file.outcome == FileRepricingOutcome::Repriced)
            ++repriced;
        if (file.outcome == FileRepricingOutcome::NotWritten)
            failures += QStringLiteral("\n%1: %2")
                            .arg(QString::fromStdU16String(file.file.filename().u16string()),
                                 QString::fromStdString(file.problem));
    }
    QString text = QStringLiteral("Mit neuen Preisen geschrieben: %1 von %2 Kalkulationen. Die "
                                  "alte Fassung liegt jeweils als „NAME.kal.bak“ daneben.")
                       .arg(repriced)
                       .arg(written.files.size());
    if (!failures.isEmpty())
        text += QStringLiteral("\n\nNicht geschrieben (bleiben, wie sie waren):") + failures;
    return text;
}

} // namespace

void TMainForm::buildCatalogueCommands() {
    catalogueMenu = menuBar()->addMenu(QStringLiteral("Materialien"));
    catalogueMenu->setObjectName(QStringLiteral("catalogueMenu"));
    pickArticleAction = catalogueMenu->addAction(QStringLiteral("Artikel wählen..."));
    pickArticleAction->setObjectName(QStringLiteral("pickArticleAction"));
    pickArticleAction->setShortcut(QKeySequence(Qt::Key_F4));
    // Only on the sheet's page, where a row has the focus.
    pickArticleAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    TabSheet1->addAction(pickArticleAction);
    connect(pickArticleAction, &QAction::triggered, this, [this] {
        if (const auto slot = focusedRowSlot()) {
            pickFromCatalogue(*slot);
        } else {
            dialogs().message(this, QString(),
                              QStringLiteral("Bitte zuerst in eine Material- oder Stückzeile "
                                             "klicken, dann Artikel wählen (F4)."),
                              Dialogs::Icon::Information);
        }
    });
    importPriceListAction = catalogueMenu->addAction(QStringLiteral("Preisliste importieren..."));
    importPriceListAction->setObjectName(QStringLiteral("importPriceListAction"));
    connect(importPriceListAction, &QAction::triggered, this, [this] { importPriceList(); });
    catalogueMenu->addSeparator();
    repriceCalculationAction = catalogueMenu->addAction(QStringLiteral("Preise aktualisieren..."));
    repriceCalculationAction->setObjectName(QStringLiteral("repriceCalculationAction"));
    connect(repriceCalculationAction, &QAction::triggered, this, [this] { repriceCalculation(); });
    repriceFolderAction =
        catalogueMenu->addAction(QStringLiteral("Preise aktualisieren (Ordner)..."));
    repriceFolderAction->setObjectName(QStringLiteral("repriceFolderAction"));
    connect(repriceFolderAction, &QAction::triggered, this, [this] { repriceCalculationFolder(); });
    for (std::size_t i = 0; i < kRowSlotCount; ++i) {
        const auto slot = static_cast<RowSlot>(i);
        if (QWidget* description = ScrollBox1->fieldWidget(sheetRowFields(slot).description))
            description->setToolTip(QStringLiteral("F4: Artikel aus dem Katalog wählen"));
    }
}

std::optional<RowSlot> TMainForm::focusedRowSlot() const {
    const QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return std::nullopt;
    for (const FieldInfo& info : fieldCatalogue()) {
        const QWidget* widget = ScrollBox1->fieldWidget(info.id);
        if (!widget || (widget != focus && !widget->isAncestorOf(focus)))
            continue;
        for (std::size_t i = 0; i < kRowSlotCount; ++i) {
            if (rowOf(static_cast<RowSlot>(i)) == info.row)
                return static_cast<RowSlot>(i);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

void TMainForm::pickFromCatalogue(RowSlot slot) {
    runCommand([this, slot] {
        const auto snapshot = programStore().catalogue();
        if (snapshot->catalogue.articles().empty()) {
            dialogs().message(this, QString(), catalogueEmptyMessage(), Dialogs::Icon::Information);
            return;
        }
        const FieldId description = sheetRowFields(slot).description;
        ArticlePicker picker(snapshot, QString::fromStdU16String(sheet_.text(description).text()),
                             this);
        if (!dialogs().runForm(picker) || !picker.chosen())
            return;
        try {
            pickArticle(sheet_, extras_, slot, *picker.chosen(), snapshot->catalogue);
        } catch (const PickRefused& refused) {
            dialogs().message(this, QString(), QString::fromStdString(refused.what()),
                              Dialogs::Icon::Warning);
        }
    });
}

void TMainForm::importPriceList() {
    runCommand([this] {
        const auto name = dialogs().openFileName(
            this,
            QStringLiteral("Preisliste (*.csv *.txt *.001 "
                           "DATANORM.*)|*.csv;*.txt;*.001;DATANORM.*|Alle Dateien (*)|*"),
            QString(), QStringLiteral("Preisliste importieren"));
        if (!name)
            return;
        Store& store = programStore();
        const std::filesystem::path path(name->toStdU16String());
        const PriceListBytes loaded = loadPriceListFile(path);
        CsvOptions options;
        PriceList list;
        if (!loaded.error.empty()) {
            reportProblem(list.problems, 0, loaded.error);
        } else if (detectPriceListFormat(loaded.bytes) == PriceListFormat::Csv) {
            // A CSV list names no supplier and may head its columns as it likes: the user says
            // which supplier it is and which column is which before anything is read.
            CsvImportDialog mapping(
                loaded.bytes, QFileInfo(*name).completeBaseName(), cataloguedSuppliers(store),
                [&store](const std::string& supplier) -> std::optional<CsvColumns> {
                    // Asked while the user types, inside the form's event loop, which no
                    // exception may cross: a name the store refuses (too long) or a store out
                    // of reach has nothing remembered, and the import itself reports why.
                    try {
                        return supplier.empty() ? std::nullopt : store.csvColumns(supplier);
                    } catch (const StoreError&) {
                        return std::nullopt;
                    }
                },
                this);
            if (!dialogs().runForm(mapping))
                return;
            options = mapping.options();
        }
        const QDate today = QDate::currentDate();
        options.priceDate = {today.year(), today.month(), today.day()};
        if (loaded.error.empty())
            list = readPriceList(loaded.bytes, options);
        const ImportPlan plan = store.planImport(list);
        const QString summary = importSummary(list, plan);
        if (!plan.applicable()) {
            dialogs().message(this, QStringLiteral("Preisliste importieren"),
                              summary + QStringLiteral("\n\nDie Preisliste wird nicht übernommen."),
                              Dialogs::Icon::Warning);
            return;
        }
        if (dialogs().question(this, QStringLiteral("Preisliste importieren"),
                               summary + QStringLiteral("\n\nPreisliste übernehmen?"),
                               Dialogs::Answer::No) != Dialogs::Answer::Yes)
            return;
        store.applyImport(plan);
        // Remembered once the list is taken, where the command line looks for it too.
        if (list.format == PriceListFormat::Csv)
            store.setCsvColumns(plan.supplier, options.columns);
        if (catalogueTab_ != nullptr)
            catalogueTab_->catalogueChanged();
    });
}

void TMainForm::repriceCalculation() {
    runCommand([this] {
        const QString caption = QStringLiteral("Preise aktualisieren");
        if (!hasRowArticles(extras_.rowArticles)) {
            dialogs().message(this, caption,
                              QStringLiteral("Keine Zeile dieser Kalkulation hat eine "
                                             "Artikelnummer. Preise lassen sich nur für Zeilen "
                                             "aktualisieren, deren Material aus dem Katalog "
                                             "gewählt wurde (F4). Nichts geändert."),
                              Dialogs::Icon::Information);
            return;
        }
        const auto snapshot = programStore().catalogue();
        const std::vector<RepricedRow> rows = repriceSheet(sheet_, extras_, snapshot->catalogue);
        if (std::none_of(rows.begin(), rows.end(), [](const RepricedRow& row) {
                return row.status == RepriceStatus::Changed;
            })) {
            QString text = QStringLiteral("Keine Zeile hat einen neuen Preis; die Kalkulation "
                                          "bleibt, wie sie ist.\n");
            for (const RepricedRow& row : rows)
                text += QStringLiteral("\n%1 %2: %3")
                            .arg(QString::fromUtf8(rowSlotName(row.slot)),
                                 QString::fromStdString(row.articleNumber),
                                 QString::fromUtf8(repriceStatusText(row.status)));
            dialogs().message(this, caption, text, Dialogs::Icon::Information);
            return;
        }
        // The net end sum after the new prices, worked out on a copy of the sheet as it would
        // open from a file, so the open one changes only on "Übernehmen".
        Sheet preview(sheet_.numberFormat());
        preview.runCountRules();
        const auto bytes = calculationBytes(sheet_);
        (void)openCalculationBytes(preview, bytes, u"Vorschau");
        applyRepricing(preview, rows);
        SheetRepricingDialog dialog(rows, fieldCents(sheet_, FieldId::Summe15Ed),
                                    fieldCents(preview, FieldId::Summe15Ed), this);
        if (!dialogs().runForm(dialog))
            return;
        applyRepricing(sheet_, rows);
    });
}

void TMainForm::repriceCalculationFolder() {
    runCommand([this] {
        const QString caption = QStringLiteral("Preise aktualisieren");
        const auto folder =
            dialogs().folderName(this, QStringLiteral("Ordner mit Kalkulationen wählen"));
        if (!folder)
            return;
        const auto snapshot = programStore().catalogue();
        if (snapshot->catalogue.articles().empty()) {
            dialogs().message(this, caption, catalogueEmptyMessage(), Dialogs::Icon::Information);
            return;
        }
        const std::filesystem::path path(folder->toStdU16String());
        FolderRepricing dryRun = repriceWithProgress(this, path, snapshot->catalogue, true);
        if (dryRun.stopped)
            return;
        if (!dryRun.problem.empty()) {
            dialogs().message(this, caption, QString::fromStdString(dryRun.problem),
                              Dialogs::Icon::Warning);
            return;
        }
        if (dryRun.files.empty()) {
            dialogs().message(
                this, caption,
                QStringLiteral("Im Ordner „%1“ liegt keine Kalkulation (*.kal).").arg(*folder),
                Dialogs::Icon::Information);
            return;
        }
        FolderRepricingDialog dialog(std::move(dryRun), this);
        if (!dialogs().runForm(dialog))
            return;
        // The same catalogue as the dry run the user saw; each file is read again, so one changed
        // since then is written as it is now.
        const FolderRepricing written = repriceWithProgress(this, path, snapshot->catalogue, false);
        dialogs().message(this, caption, writtenSummary(written), Dialogs::Icon::Information);
    });
}

} // namespace pyrelto
