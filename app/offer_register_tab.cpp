#include "offer_register_tab.h"

#include "MainUnit.h"
#include "dialogs.h"
#include "logo.h"
#include "money.h"
#include "offer_dialog.h"
#include "offer_particulars.h"
#include "offer_print.h"
#include "offer_service.h"
#include "printout.h"
#include "qt_text.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <span>

namespace pyrelto {

namespace {

constexpr std::array<OfferStatus, 3> kStatuses{OfferStatus::Open, OfferStatus::Accepted,
                                               OfferStatus::Rejected};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString euros(std::int64_t cents, NumberFormat format) {
    return toQString(Money::fromCents(cents).format(format, Grouping::Thousands)) +
           QStringLiteral(" €");
}

// "2026-03-05" → "05.03.2026"; another text as it is.
QString germanDate(const std::string& iso) {
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-')
        return fromUtf8(iso);
    return fromUtf8(iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4));
}

} // namespace

// The register as the list shows it; rows in the database's order, newest first.
class OfferRegisterModel final : public QAbstractTableModel {
public:
    enum Column { Number, Date, Customer, Gross, Status, ColumnCount };

    explicit OfferRegisterModel(QObject* parent) : QAbstractTableModel(parent) {}

    void setOffers(std::vector<OfferSummary> offers) {
        beginResetModel();
        offers_ = std::move(offers);
        endResetModel();
    }
    const std::vector<OfferSummary>& offers() const { return offers_; }

    void setStatus(int row, OfferStatus status) {
        offers_[static_cast<std::size_t>(row)].status = status;
        emit dataChanged(index(row, Status), index(row, Status));
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(offers_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const OfferSummary& offer = offers_[static_cast<std::size_t>(index.row())];
        if (role == Qt::TextAlignmentRole && index.column() == Gross)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case Number:
            return fromUtf8(offer.number);
        case Date:
            return germanDate(offer.date);
        case Customer:
            return fromUtf8(offer.customer);
        case Gross:
            return euros(offer.grossCents, format_);
        case Status: {
            QString text = fromUtf8(std::string(offerStatusText(offer.status)));
            if (!offer.pdfWritten)
                text += QStringLiteral(" (PDF fehlt)");
            return text;
        }
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        switch (section) {
        case Number:
            return QStringLiteral("Nummer");
        case Date:
            return QStringLiteral("Datum");
        case Customer:
            return QStringLiteral("Kunde");
        case Gross:
            return QStringLiteral("Brutto");
        case Status:
            return QStringLiteral("Status");
        default:
            return {};
        }
    }

    NumberFormat format() const { return format_; }

private:
    std::vector<OfferSummary> offers_;
    NumberFormat format_ = regionalNumberFormat();
};

OfferRegisterTab::OfferRegisterTab(std::function<Store&()> store,
                                   std::function<void(const OfferRecord&)> openCalculation,
                                   QWidget* parent)
    : QWidget(parent), store_(std::move(store)), openCalculation_(std::move(openCalculation)) {
    setObjectName(QStringLiteral("OfferRegisterTab"));
    model_ = new OfferRegisterModel(this);
    filter_ = new QSortFilterProxyModel(this);
    filter_->setSourceModel(model_);
    filter_->setFilterKeyColumn(-1);
    filter_->setFilterCaseSensitivity(Qt::CaseInsensitive);

    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setPlaceholderText(QStringLiteral("Nummer, Datum, Kunde oder Betrag"));
    auto* searchLabel = new QLabel(QStringLiteral("&Suchen:"), this);
    searchLabel->setBuddy(searchEdit);

    offerList = new QTreeView(this);
    offerList->setObjectName(QStringLiteral("offerList"));
    offerList->setAccessibleName(QStringLiteral("Angebotsbuch"));
    offerList->setModel(filter_);
    offerList->setRootIsDecorated(false);
    offerList->setUniformRowHeights(true);
    offerList->setAllColumnsShowFocus(true);
    offerList->setSelectionMode(QAbstractItemView::SingleSelection);
    offerList->setSelectionBehavior(QAbstractItemView::SelectRows);
    offerList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = offerList->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(OfferRegisterModel::Customer, QHeaderView::Stretch);
    header->resizeSection(OfferRegisterModel::Number, 90);
    header->resizeSection(OfferRegisterModel::Date, 90);
    header->resizeSection(OfferRegisterModel::Gross, 110);
    header->resizeSection(OfferRegisterModel::Status, 150);

    statusBox = new QComboBox(this);
    statusBox->setObjectName(QStringLiteral("statusBox"));
    for (const OfferStatus status : kStatuses)
        statusBox->addItem(fromUtf8(std::string(offerStatusText(status))));
    auto* statusLabel = new QLabel(QStringLiteral("S&tatus:"), this);
    statusLabel->setBuddy(statusBox);
    openCalculationButton = new QPushButton(QStringLiteral("Kalkulation öffnen"), this);
    openCalculationButton->setObjectName(QStringLiteral("openCalculationButton"));
    recreatePdfButton = new QPushButton(QStringLiteral("PDF erneut erstellen..."), this);
    recreatePdfButton->setObjectName(QStringLiteral("recreatePdfButton"));
    createInvoiceButton = new QPushButton(QStringLiteral("Rechnung erstellen..."), this);
    createInvoiceButton->setObjectName(QStringLiteral("createInvoiceButton"));

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    messageLabel->hide();

    auto* search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(searchEdit);
    auto* actions = new QHBoxLayout;
    actions->addWidget(statusLabel);
    actions->addWidget(statusBox);
    actions->addStretch();
    actions->addWidget(openCalculationButton);
    actions->addWidget(recreatePdfButton);
    actions->addWidget(createInvoiceButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(messageLabel);
    layout->addWidget(offerList);
    layout->addLayout(actions);
    layout->addWidget(summaryLabel);

    connect(searchEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->setFilterFixedString(text);
        updateSummary();
        selectionChanged();
    });
    connect(offerList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(statusBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(kStatuses.size()))
            setSelectedStatus(kStatuses[static_cast<std::size_t>(index)]);
    });
    connect(openCalculationButton, &QPushButton::clicked, this,
            [this] { openSelectedCalculation(); });
    connect(recreatePdfButton, &QPushButton::clicked, this, [this] { recreateSelectedPdf(); });
    connect(createInvoiceButton, &QPushButton::clicked, this,
            [this] { createInvoiceForSelected(); });
    selectionChanged();
    updateSummary();
}

OfferRegisterTab::~OfferRegisterTab() = default;

void OfferRegisterTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Read when shown, not at start: another PC's offers appear, and a database that cannot be
    // reached never holds up the window.
    refresh();
}

void OfferRegisterTab::refresh() {
    const auto selected = selectedOffer();
    std::vector<OfferSummary> offers;
    try {
        offers = store_().offers();
        messageLabel->hide();
    } catch (const std::exception& e) {
        showProblem(QString::fromUtf8(e.what()));
    }
    model_->setOffers(std::move(offers));
    if (selected)
        selectOffer(selected->number);
    updateSummary();
    selectionChanged();
}

std::optional<OfferSummary> OfferRegisterTab::selectedOffer() const {
    const QModelIndexList rows = offerList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    const QModelIndex source = filter_->mapToSource(rows.constFirst());
    return model_->offers()[static_cast<std::size_t>(source.row())];
}

bool OfferRegisterTab::selectOffer(const std::string& number) {
    const auto& offers = model_->offers();
    for (std::size_t row = 0; row < offers.size(); ++row) {
        if (offers[row].number != number)
            continue;
        const QModelIndex shown = filter_->mapFromSource(model_->index(static_cast<int>(row), 0));
        if (!shown.isValid())
            return false;
        offerList->selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        offerList->setCurrentIndex(shown);
        offerList->scrollTo(shown);
        return true;
    }
    return false;
}

void OfferRegisterTab::selectionChanged() {
    const auto offer = selectedOffer();
    statusBox->setEnabled(offer.has_value());
    openCalculationButton->setEnabled(offer.has_value());
    recreatePdfButton->setEnabled(offer.has_value());
    createInvoiceButton->setEnabled(offer && offer->status == OfferStatus::Accepted &&
                                    createInvoice_);
    if (offer)
        statusBox->setCurrentIndex(static_cast<int>(
            std::find(kStatuses.begin(), kStatuses.end(), offer->status) - kStatuses.begin()));
}

void OfferRegisterTab::updateSummary() {
    std::int64_t openCents = 0;
    int accepted = 0;
    const int shown = filter_->rowCount();
    for (int row = 0; row < shown; ++row) {
        const QModelIndex source = filter_->mapToSource(filter_->index(row, 0));
        const OfferSummary& offer = model_->offers()[static_cast<std::size_t>(source.row())];
        if (offer.status == OfferStatus::Open)
            openCents += offer.grossCents;
        else if (offer.status == OfferStatus::Accepted)
            ++accepted;
    }
    const QString share =
        shown == 0 ? QStringLiteral("–")
                   : QLocale(QLocale::German).toString(100.0 * accepted / shown, 'f', 0) +
                         QStringLiteral(" %");
    summaryLabel->setText(QStringLiteral("Offene Angebote: %1   ·   Angenommen: %2 von %3 (%4)")
                              .arg(euros(openCents, model_->format()))
                              .arg(accepted)
                              .arg(shown)
                              .arg(share));
}

void OfferRegisterTab::showProblem(const QString& text) {
    messageLabel->setText(text);
    messageLabel->show();
}

std::optional<OfferRecord> OfferRegisterTab::selectedRecord() {
    const auto offer = selectedOffer();
    if (!offer)
        return std::nullopt;
    auto record = store_().offer(offer->number);
    if (!record)
        throw StoreError(StoreError::Kind::Refused,
                         "Das Angebot " + offer->number + " ist nicht mehr im Angebotsbuch.");
    return record;
}

void OfferRegisterTab::setSelectedStatus(OfferStatus status) {
    const auto offer = selectedOffer();
    if (!offer || offer->status == status)
        return;
    try {
        store_().setOfferStatus(offer->number, status);
        const QModelIndexList rows = offerList->selectionModel()->selectedRows();
        model_->setStatus(filter_->mapToSource(rows.constFirst()).row(), status);
        updateSummary();
        selectionChanged();
    } catch (...) {
        reportCurrentException(this);
        selectionChanged();
    }
}

void OfferRegisterTab::openSelectedCalculation() {
    try {
        if (const auto record = selectedRecord())
            openCalculation_(*record);
    } catch (...) {
        reportCurrentException(this);
    }
}

void OfferRegisterTab::setInvoiceCommand(std::function<void(const OfferRecord&)> command) {
    createInvoice_ = std::move(command);
    selectionChanged();
}

void OfferRegisterTab::createInvoiceForSelected() {
    try {
        const auto offer = selectedOffer();
        if (!offer || offer->status != OfferStatus::Accepted || !createInvoice_)
            return;
        if (const auto record = selectedRecord())
            createInvoice_(*record);
    } catch (...) {
        reportCurrentException(this);
    }
}

void OfferRegisterTab::recreateSelectedPdf() {
    try {
        const auto record = selectedRecord();
        if (!record)
            return;
        // The offer as it went out: its calculation, number, dates, recipient and address, the
        // dialog's other choices (the default texts for an offer recorded before they were kept)
        // and today's firm data.
        Sheet sheet(regionalNumberFormat());
        const auto& bytes = record->entry.calculation;
        const CalculationExtras extras = openCalculationBytes(
            sheet, std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()),
            u"Angebot " + fromUtf8(record->number).toStdU16String());
        Store& store = store_();
        FirmData firm = firmDataOf(store);
        if (const QString warning = dropInvalidIban(firm); !warning.isEmpty())
            dialogs().message(this, QString(), warning, Dialogs::Icon::Warning);
        if (!firm.logoPath.empty() && !logoProblem(toQString(firm.logoPath)).isEmpty())
            firm.logoPath.clear();
        OfferChoices choices;
        choices.number = fromUtf8(record->number).toStdU16String();
        choices.date = parseIsoDate(record->entry.date).value_or(Date{});
        choices.validUntil = parseIsoDate(record->entry.validUntil).value_or(Date{});
        choices.recipientName = fromUtf8(record->entry.customer).toStdU16String();
        choices.recipientAddress = fromUtf8(record->entry.address).toStdU16String();
        choices.subject = OfferChoices::defaultSubject();
        choices.introduction = OfferChoices::defaultIntroduction();
        choices.workTitle = OfferChoices::defaultWorkTitle();
        if (!record->entry.particulars.empty()) {
            try {
                readOfferParticulars(record->entry.particulars, choices);
            } catch (const std::runtime_error& e) {
                // Made with the default texts it would be another offer under the same number.
                reportError(this, QStringLiteral("Das Angebot %1 kann nicht erneut erstellt "
                                                 "werden. %2")
                                      .arg(fromUtf8(record->number), QString::fromUtf8(e.what())));
                return;
            }
        }
        const OfferDocument offer = buildOffer(sheet, firm, choices);
        const QString suggested = record->entry.fileName.empty()
                                      ? toQString(suggestedOfferFileName(offer))
                                      : fromUtf8(record->entry.fileName);
        const auto name =
            dialogs().saveFileName(this, pdfFilter(), QStringLiteral(".pdf"), suggested);
        if (!name)
            return;
        writeOfferPdf(offer, *name, offerAttachment(offer, sheet, extras.takeOff));
        store.markPdfWritten(record->number, name->toStdString());
        refresh();
    } catch (const PrintError& e) {
        reportError(this, e.message());
    } catch (...) {
        reportCurrentException(this);
    }
}

} // namespace pyrelto
