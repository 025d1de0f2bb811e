// The price catalogue in the window: picking an article into a row, importing a price list.

#include "MainUnit.h"
#include "article_picker.h"
#include "catalogue_tab.h"
#include "dialogs.h"
#include "price_list_file.h"
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
#include <QShortcut>

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
            dialogs().message(this, QString(),
                              QStringLiteral("Der Katalog ist leer. Bitte zuerst eine Preisliste "
                                             "importieren (Materialien → Preisliste "
                                             "importieren...)."),
                              Dialogs::Icon::Information);
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
        CsvOptions options;
        const QDate today = QDate::currentDate();
        options.priceDate = {today.year(), today.month(), today.day()};
        const std::filesystem::path path(name->toStdU16String());
        PriceList list = readPriceListFile(path, options);
        if (list.format == PriceListFormat::Csv) {
            // A CSV list names no supplier: the file's name stands for it, as the user sees it.
            options.supplier = QFileInfo(*name).completeBaseName().toStdString();
            if (auto remembered = store.csvColumns(options.supplier))
                options.columns = std::move(*remembered);
            list = readPriceListFile(path, options);
        }
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
        catalogueTab_->catalogueChanged();
    });
}

} // namespace pyrelto
