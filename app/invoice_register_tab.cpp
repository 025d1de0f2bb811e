#include "invoice_register_tab.h"

#include "MainUnit.h"
#include "dialogs.h"
#include "firm_data.h"
#include "invoice_print.h"
#include "invoice_service.h"
#include "money.h"
#include "offer_service.h"
#include "qt_date.h"
#include "qt_text.h"
#include "sheet.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace pyrelto {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString euros(std::int64_t cents, NumberFormat format) {
    return toQString(Money::fromCents(cents).format(format, Grouping::Thousands)) +
           QStringLiteral(" €");
}

QString germanDate(const std::string& iso) {
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-')
        return fromUtf8(iso);
    return fromUtf8(iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4));
}

QString kindText(InvoiceKind kind) {
    return fromUtf8(invoiceKindTitle(kind));
}

} // namespace

// The register as the list shows it; rows in the database's order, newest first.
class InvoiceRegisterModel final : public QAbstractTableModel {
public:
    enum Column { Number, Date, Customer, Kind, Gross, Status, ColumnCount };

    explicit InvoiceRegisterModel(QObject* parent) : QAbstractTableModel(parent) {}

    void setInvoices(std::vector<InvoiceSummary> invoices, std::string today) {
        beginResetModel();
        invoices_ = std::move(invoices);
        today_ = std::move(today);
        endResetModel();
    }
    const std::vector<InvoiceSummary>& invoices() const { return invoices_; }
    const std::string& today() const { return today_; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(invoices_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }

    // "offen", "bezahlt am 05.03.2026", "storniert durch R-…", "überfällig seit …".
    QString statusText(const InvoiceSummary& invoice) const {
        if (!invoice.cancelledBy.empty())
            return QStringLiteral("storniert durch ") + fromUtf8(invoice.cancelledBy);
        if (invoice.kind == InvoiceKind::CreditNote)
            return QStringLiteral("storniert ") + fromUtf8(invoice.corrects);
        if (invoice.status == InvoiceStatus::Paid)
            return QStringLiteral("bezahlt am ") + germanDate(invoice.paidOn);
        if (invoice.overdue(today_))
            return QStringLiteral("überfällig seit ") + germanDate(invoice.dueDate);
        return QStringLiteral("offen");
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const InvoiceSummary& invoice = invoices_[static_cast<std::size_t>(index.row())];
        if (role == Qt::TextAlignmentRole && index.column() == Gross)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ForegroundRole && invoice.overdue(today_))
            return QBrush(QColor(0xb0, 0x00, 0x00));
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case Number:
            return fromUtf8(invoice.number);
        case Date:
            return germanDate(invoice.issueDate);
        case Customer:
            return fromUtf8(invoice.customer);
        case Kind:
            return kindText(invoice.kind);
        case Gross:
            return euros(invoice.grossCents, format_);
        case Status:
            return statusText(invoice);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const std::array<QString, ColumnCount> titles{
            QStringLiteral("Nummer"), QStringLiteral("Datum"),  QStringLiteral("Kunde"),
            QStringLiteral("Art"),    QStringLiteral("Brutto"), QStringLiteral("Status")};
        return section >= 0 && section < ColumnCount ? titles[static_cast<std::size_t>(section)]
                                                     : QVariant();
    }

    NumberFormat format() const { return format_; }

private:
    std::vector<InvoiceSummary> invoices_;
    std::string today_;
    NumberFormat format_ = regionalNumberFormat();
};

InvoiceRegisterTab::InvoiceRegisterTab(std::function<Store&()> store, std::function<QDate()> today,
                                       QWidget* parent)
    : QWidget(parent), store_(std::move(store)), today_(std::move(today)) {
    setObjectName(QStringLiteral("InvoiceRegisterTab"));
    model_ = new InvoiceRegisterModel(this);
    invoiceList = new QTreeView(this);
    invoiceList->setObjectName(QStringLiteral("invoiceList"));
    invoiceList->setAccessibleName(QStringLiteral("Rechnungsbuch"));
    invoiceList->setModel(model_);
    invoiceList->setRootIsDecorated(false);
    invoiceList->setUniformRowHeights(true);
    invoiceList->setAllColumnsShowFocus(true);
    invoiceList->setSelectionMode(QAbstractItemView::SingleSelection);
    invoiceList->setSelectionBehavior(QAbstractItemView::SelectRows);
    invoiceList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = invoiceList->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(InvoiceRegisterModel::Customer, QHeaderView::Stretch);
    header->resizeSection(InvoiceRegisterModel::Number, 110);
    header->resizeSection(InvoiceRegisterModel::Date, 90);
    header->resizeSection(InvoiceRegisterModel::Kind, 140);
    header->resizeSection(InvoiceRegisterModel::Gross, 110);
    header->resizeSection(InvoiceRegisterModel::Status, 200);

    saveAgainButton = new QPushButton(QStringLiteral("PDF/XML erneut speichern..."), this);
    paidButton = new QPushButton(QStringLiteral("Als &bezahlt markieren"), this);
    cancelButton = new QPushButton(QStringLiteral("S&torno..."), this);
    summaryLabel = new QLabel(this);
    messageLabel = new QLabel(this);
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    messageLabel->hide();

    auto* actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(saveAgainButton);
    actions->addWidget(paidButton);
    actions->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel);
    layout->addWidget(invoiceList);
    layout->addLayout(actions);
    layout->addWidget(summaryLabel);

    connect(invoiceList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(saveAgainButton, &QPushButton::clicked, this, [this] { saveSelectedAgain(); });
    connect(paidButton, &QPushButton::clicked, this, [this] { markSelectedPaid(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelSelected(); });
    selectionChanged();
}

InvoiceRegisterTab::~InvoiceRegisterTab() = default;

void InvoiceRegisterTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void InvoiceRegisterTab::refresh() {
    const auto selected = selectedInvoice();
    std::vector<InvoiceSummary> invoices;
    try {
        invoices = store_().invoices();
        messageLabel->hide();
    } catch (const std::exception& e) {
        messageLabel->setText(QString::fromUtf8(e.what()));
        messageLabel->show();
    }
    const std::string today = today_().toString(Qt::ISODate).toStdString();
    std::int64_t openCents = 0;
    int overdue = 0;
    for (const InvoiceSummary& invoice : invoices) {
        if (invoice.status == InvoiceStatus::Open && invoice.cancelledBy.empty() &&
            invoice.kind != InvoiceKind::CreditNote)
            openCents += invoice.dueCents;
        if (invoice.overdue(today))
            ++overdue;
    }
    model_->setInvoices(std::move(invoices), today);
    summaryLabel->setText(QStringLiteral("Offene Forderungen: %1   ·   Überfällig: %2")
                              .arg(euros(openCents, model_->format()))
                              .arg(overdue));
    if (selected)
        selectInvoice(selected->number);
    selectionChanged();
}

std::optional<InvoiceSummary> InvoiceRegisterTab::selectedInvoice() const {
    const QModelIndexList rows = invoiceList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return model_->invoices()[static_cast<std::size_t>(rows.constFirst().row())];
}

bool InvoiceRegisterTab::selectInvoice(const std::string& number) {
    const auto& invoices = model_->invoices();
    for (std::size_t row = 0; row < invoices.size(); ++row) {
        if (invoices[row].number != number)
            continue;
        const QModelIndex index = model_->index(static_cast<int>(row), 0);
        invoiceList->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        invoiceList->setCurrentIndex(index);
        return true;
    }
    return false;
}

void InvoiceRegisterTab::selectionChanged() {
    const auto invoice = selectedInvoice();
    const bool chargeable =
        invoice && invoice->kind != InvoiceKind::CreditNote && invoice->cancelledBy.empty();
    saveAgainButton->setEnabled(invoice.has_value());
    paidButton->setEnabled(chargeable && invoice->status == InvoiceStatus::Open);
    cancelButton->setEnabled(chargeable);
}

void InvoiceRegisterTab::saveRecord(const InvoiceRecord& record) {
    const auto name = dialogs().saveFileName(
        this, QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"), QStringLiteral(".pdf"),
        fromUtf8(invoiceKindTitle(record.summary.kind) + " " + record.summary.number + ".pdf"));
    if (!name)
        return;
    writeDocumentFile(*name, record.documents.pdf);
    if (record.summary.hasXml) {
        QString xml = *name;
        if (xml.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            xml.chop(4);
        writeDocumentFile(xml + QStringLiteral(".xml"), record.documents.xml);
    }
}

void InvoiceRegisterTab::saveSelectedAgain() {
    try {
        const auto invoice = selectedInvoice();
        if (!invoice)
            return;
        const auto record = store_().invoice(invoice->number);
        if (!record)
            throw StoreError(StoreError::Kind::Refused,
                             "Die Rechnung " + invoice->number + " ist nicht im Rechnungsbuch.");
        saveRecord(*record);
    } catch (...) {
        reportCurrentException(this);
    }
}

void InvoiceRegisterTab::markSelectedPaid() {
    try {
        const auto invoice = selectedInvoice();
        if (!invoice)
            return;
        store_().setInvoicePaid(invoice->number, today_().toString(Qt::ISODate).toStdString());
        refresh();
    } catch (...) {
        reportCurrentException(this);
    }
}

void InvoiceRegisterTab::cancelSelected() {
    try {
        const auto invoice = selectedInvoice();
        if (!invoice)
            return;
        const auto answer = dialogs().question(
            this, QStringLiteral("Storno"),
            QStringLiteral("Die Rechnung %1 durch eine Gutschrift stornieren? Die Rechnung "
                           "selbst bleibt unverändert im Rechnungsbuch.")
                .arg(fromUtf8(invoice->number)),
            Dialogs::Answer::No);
        if (answer != Dialogs::Answer::Yes)
            return;
        Store& store = store_();
        InvoiceChoices choices;
        choices.kind = InvoiceKind::CreditNote;
        choices.cancels = invoice->number;
        choices.issueDate = toDate(today_());
        // A credit note repeats the recorded invoice; the sheet plays no part in it.
        const Sheet unused(regionalNumberFormat());
        const FirmData firm = firmDataOf(store);
        const Invoice note = prepareInvoice(unused, firm, choices, store);
        const auto original = store.invoice(invoice->number);
        const InvoiceRecord record = issueInvoiceRecord(store, note, original->summary.hasXml,
                                                        letterheadOf(firm), original->calculation);
        refresh();
        selectInvoice(record.summary.number);
        saveRecord(record);
    } catch (...) {
        reportCurrentException(this);
    }
}

} // namespace pyrelto
