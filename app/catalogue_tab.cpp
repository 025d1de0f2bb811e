#include "catalogue_tab.h"

#include "article_picker.h"
#include "catalogue_csv.h"
#include "dialogs.h"
#include "file_message.h"
#include "safe_write.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <numeric>
#include <span>

namespace pyrelto {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString decimalText(const std::optional<Decimal>& value) {
    return value ? fromUtf8(formatDecimal(*value)) : QString();
}

// Reads one field of the form as a German number ("7,5"); an empty field is no value. False, after
// a message that names the field, for anything else.
bool readNumber(QWidget* parent, QLineEdit* edit, const QString& field,
                std::optional<Decimal>& value) {
    const QString text = edit->text().trimmed();
    value.reset();
    if (text.isEmpty())
        return true;
    value = parseDecimal(text.toStdString(), NumberStyle::German);
    if (value)
        return true;
    dialogs().message(parent, QString(),
                      QStringLiteral("„%1“ ist keine gültige Zahl für %2. Bitte eine Zahl wie 7,5 "
                                     "eingeben (Komma vor den Nachkommastellen, höchstens vier "
                                     "Nachkommastellen).")
                          .arg(text, field),
                      Dialogs::Icon::Warning);
    edit->setFocus();
    edit->selectAll();
    return false;
}

} // namespace

CatalogueTab::CatalogueTab(std::function<Store&()> store, QWidget* parent)
    : QWidget(parent), store_(std::move(store)) {
    setObjectName(QStringLiteral("CatalogueTab"));
    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("catalogueSearchEdit"));
    searchEdit->setPlaceholderText(QStringLiteral("Artikelnummer oder Wörter der Bezeichnung"));
    auto* searchLabel = new QLabel(QStringLiteral("&Suche:"), this);
    searchLabel->setBuddy(searchEdit);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("catalogueCountLabel"));
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("catalogueMessageLabel"));
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    messageLabel->hide();

    model_ = new ArticleTableModel(this);
    articleList = new QTableView(this);
    articleList->setObjectName(QStringLiteral("articleList"));
    articleList->setAccessibleName(QStringLiteral("Artikel des Katalogs"));
    articleList->setModel(model_);
    articleList->setSelectionBehavior(QAbstractItemView::SelectRows);
    articleList->setSelectionMode(QAbstractItemView::SingleSelection);
    articleList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    articleList->setWordWrap(false);
    articleList->verticalHeader()->hide();
    // Fixed widths: measuring the contents would touch rows nobody looks at.
    QHeaderView* header = articleList->horizontalHeader();
    header->setStretchLastSection(true);
    header->resizeSection(ArticleTableModel::Number, 110);
    header->resizeSection(ArticleTableModel::Text, 300);
    header->resizeSection(ArticleTableModel::Unit, 60);
    header->resizeSection(ArticleTableModel::Price, 100);
    header->resizeSection(ArticleTableModel::PricePerSquareMetre, 80);
    header->resizeSection(ArticleTableModel::PriceDate, 80);
    header->resizeSection(ArticleTableModel::Supplier, 120);

    articleLabel = new QLabel(this);
    articleLabel->setObjectName(QStringLiteral("catalogueArticleLabel"));
    coverageEdit = new QLineEdit(this);
    coverageEdit->setObjectName(QStringLiteral("coverageEdit"));
    coverageEdit->setToolTip(QStringLiteral("Fläche, die eine Einheit deckt, z. B. 7,5 für eine "
                                            "Rolle; leer bei Stückware"));
    wasteEdit = new QLineEdit(this);
    wasteEdit->setObjectName(QStringLiteral("wasteEdit"));
    groupDiscountEdit = new QLineEdit(this);
    groupDiscountEdit->setObjectName(QStringLiteral("groupDiscountEdit"));
    groupDiscountEdit->setToolTip(
        QStringLiteral("Gilt für alle Artikel dieser Rabattgruppe des Lieferanten"));
    groupDiscountLabel = new QLabel(QStringLiteral("&Rabatt %:"), this);
    groupDiscountLabel->setObjectName(QStringLiteral("groupDiscountLabel"));
    groupDiscountLabel->setBuddy(groupDiscountEdit);
    saveButton = new QPushButton(QStringLiteral("Speichern"), this);
    saveButton->setObjectName(QStringLiteral("saveOwnFieldsButton"));
    exportButton = new QPushButton(QStringLiteral("Als CSV exportieren..."), this);
    exportButton->setObjectName(QStringLiteral("exportCatalogueButton"));

    auto* search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(searchEdit, 1);
    search->addWidget(countLabel);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Artikel:"), articleLabel);
    form->addRow(QStringLiteral("&m² je Einheit:"), coverageEdit);
    form->addRow(QStringLiteral("&Verschnitt %:"), wasteEdit);
    form->addRow(groupDiscountLabel, groupDiscountEdit);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(saveButton);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    auto* below = new QHBoxLayout;
    below->addLayout(form, 1);
    below->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(messageLabel);
    layout->addWidget(articleList, 1);
    layout->addLayout(below);

    connect(searchEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { filter(text); });
    connect(articleList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { fillForm(false); });
    for (QLineEdit* edit : {coverageEdit, wasteEdit, groupDiscountEdit})
        connect(edit, &QLineEdit::returnPressed, this, [this] { saveOwnFields(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveOwnFields(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { exportCsv(); });
    fillForm(true);
    countLabel->setText(QStringLiteral("Katalog noch nicht gelesen"));
}

void CatalogueTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void CatalogueTab::catalogueChanged() {
    if (isVisible())
        refresh();
}

void CatalogueTab::refresh() {
    std::shared_ptr<const CatalogueSnapshot> snapshot;
    try {
        snapshot = store_().catalogue();
        messageLabel->hide();
    } catch (const std::exception& e) {
        showProblem(QString::fromUtf8(e.what()));
        return;
    }
    if (snapshot == snapshot_)
        return;
    std::pair<std::string, std::string> selected;
    if (const Article* article = selectedArticle())
        selected = {article->supplier, article->articleNumber};
    snapshot_ = std::move(snapshot);
    filter(searchEdit->text());
    if (!selected.first.empty() || !selected.second.empty())
        selectArticle(selected.first, selected.second);
    fillForm(false);
}

void CatalogueTab::filter(const QString& query) {
    if (!snapshot_)
        return;
    const std::size_t total = snapshot_->catalogue.articles().size();
    std::vector<std::size_t> rows;
    if (query.trimmed().isEmpty()) {
        rows.resize(total);
        std::iota(rows.begin(), rows.end(), std::size_t{0});
    } else {
        rows = snapshot_->index.searchAll(query.toStdString());
    }
    const std::size_t shown = rows.size();
    model_->show(snapshot_, std::move(rows));
    countLabel->setText(shown == total
                            ? QStringLiteral("%1 Artikel").arg(total)
                            : QStringLiteral("%1 von %2 Artikeln").arg(shown).arg(total));
    if (model_->rowCount() > 0 && !articleList->currentIndex().isValid())
        articleList->selectRow(0);
    fillForm(false);
}

const Article* CatalogueTab::selectedArticle() const {
    const QModelIndex current = articleList->currentIndex();
    return current.isValid() ? model_->article(current.row()) : nullptr;
}

bool CatalogueTab::selectArticle(const std::string& supplier, const std::string& articleNumber) {
    for (int row = 0; row < model_->rowCount(); ++row) {
        const Article* article = model_->article(row);
        if (article->supplier == supplier && article->articleNumber == articleNumber) {
            articleList->selectRow(row);
            articleList->scrollTo(model_->index(row, 0));
            return true;
        }
    }
    return false;
}

void CatalogueTab::fillForm(bool force) {
    const Article* article = selectedArticle();
    std::pair<std::string, std::string> key;
    if (article)
        key = {article->supplier, article->articleNumber};
    if (!force && key == formArticle_)
        return;
    formArticle_ = key;
    for (QWidget* widget : {static_cast<QWidget*>(coverageEdit), static_cast<QWidget*>(wasteEdit),
                            static_cast<QWidget*>(saveButton)})
        widget->setEnabled(article != nullptr);
    if (!article) {
        articleLabel->setText(QStringLiteral("–"));
        for (QLineEdit* edit : {coverageEdit, wasteEdit, groupDiscountEdit})
            edit->clear();
        groupDiscountLabel->setText(QStringLiteral("&Rabatt %:"));
        groupDiscountEdit->setEnabled(false);
        return;
    }
    articleLabel->setText(QStringLiteral("%1 · %2 · %3")
                              .arg(fromUtf8(article->supplier), fromUtf8(article->articleNumber),
                                   fromUtf8(article->text())));
    coverageEdit->setText(decimalText(article->coverage));
    wasteEdit->setText(decimalText(article->wastePercent));
    // The discount belongs to the supplier's discount group, not to the one article.
    const bool grouped = !article->discountGroup.empty();
    groupDiscountEdit->setEnabled(grouped);
    groupDiscountLabel->setText(
        grouped
            ? QStringLiteral("&Rabatt % (Rabattgruppe %1):").arg(fromUtf8(article->discountGroup))
            : QStringLiteral("&Rabatt % (keine Rabattgruppe):"));
    groupDiscountEdit->setText(grouped ? decimalText(snapshot_->catalogue.groupDiscount(
                                             article->supplier, article->discountGroup))
                                       : QString());
}

void CatalogueTab::saveOwnFields() {
    const Article* article = selectedArticle();
    if (!article)
        return;
    ArticleOwnFields fields;
    fields.supplier = article->supplier;
    fields.articleNumber = article->articleNumber;
    fields.discountGroup = article->discountGroup;
    if (!readNumber(this, coverageEdit, QStringLiteral("m² je Einheit"), fields.coverage) ||
        !readNumber(this, wasteEdit, QStringLiteral("Verschnitt %"), fields.wastePercent) ||
        (!fields.discountGroup.empty() &&
         !readNumber(this, groupDiscountEdit, QStringLiteral("Rabatt %"), fields.groupDiscount)))
        return;
    try {
        store_().saveOwnFields(fields);
    } catch (...) {
        // The form keeps what was typed, so that saving again once the database answers needs
        // no retyping.
        reportCurrentException(this);
        return;
    }
    refresh();
    fillForm(true);
}

void CatalogueTab::exportCsv() {
    try {
        const auto snapshot = store_().catalogue();
        const auto name = dialogs().saveFileName(this, csvFilter(), QStringLiteral(".csv"),
                                                 QStringLiteral("Katalog.csv"));
        if (!name)
            return;
        const std::string csv = catalogueCsv(snapshot->catalogue);
        const std::u16string target = name->toStdU16String();
        refuseChangedName(target);
        if (!writeFileSafely(target, std::as_bytes(std::span(csv.data(), csv.size()))))
            throw FileMessage::cannotCreate();
    } catch (const FileMessage& message) {
        dialogs().message(this, QString(), QString::fromUtf8(message.what()), Dialogs::Icon::Error);
    } catch (...) {
        reportCurrentException(this);
    }
}

void CatalogueTab::showProblem(const QString& text) {
    messageLabel->setText(text);
    messageLabel->show();
}

} // namespace pyrelto
