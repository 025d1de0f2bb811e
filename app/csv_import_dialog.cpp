#include "csv_import_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace pyrelto {

namespace {

constexpr int kNoColumn = -1;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

void selectData(QComboBox* box, const QVariant& value) {
    const int index = box->findData(value);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

CsvImportDialog::CsvImportDialog(std::span<const std::byte> bytes, const QString& fileBaseName,
                                 const std::vector<std::string>& knownSuppliers,
                                 RememberedColumns remembered, QWidget* parent)
    : QDialog(parent), bytes_(bytes), remembered_(std::move(remembered)) {
    setWindowTitle(QStringLiteral("Preisliste importieren"));
    setObjectName(QStringLiteral("csvImportDialog"));
    const CsvPreview detected = previewCsv(bytes_, 1);
    header_ = detected.records.empty() ? std::vector<std::string>() : detected.records.front();

    // A wholesaler's file changes its name with every list; its header layout does not.
    QString supplier = fileBaseName;
    if (!remembered_(supplier.toStdString())) {
        std::vector<std::string> fitting;
        for (const std::string& known : knownSuppliers) {
            const auto columns = remembered_(known);
            if (columns && *columns != CsvColumns{} && csvColumnsFit(*columns, header_))
                fitting.push_back(known);
        }
        if (fitting.size() == 1)
            supplier = fromUtf8(fitting.front());
    }

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    supplierBox = new QComboBox(this);
    supplierBox->setObjectName(QStringLiteral("csvSupplierBox"));
    supplierBox->setEditable(true);
    supplierBox->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& known : knownSuppliers)
        supplierBox->addItem(fromUtf8(known));
    form->addRow(QStringLiteral("&Lieferant:"), supplierBox);

    auto* reading = new QHBoxLayout;
    encodingBox = new QComboBox(this);
    encodingBox->setObjectName(QStringLiteral("csvEncodingBox"));
    // ASCII reads the same in all three; it shows as UTF-8.
    for (const TextEncoding encoding :
         {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Cp850})
        encodingBox->addItem(QString::fromLatin1(encodingName(encoding)),
                             static_cast<int>(encoding));
    selectData(encodingBox,
               static_cast<int>(detected.encoding == TextEncoding::Ascii ? TextEncoding::Utf8
                                                                         : detected.encoding));
    delimiterBox = new QComboBox(this);
    delimiterBox->setObjectName(QStringLiteral("csvDelimiterBox"));
    delimiterBox->addItem(QStringLiteral("; (Semikolon)"), int{';'});
    delimiterBox->addItem(QStringLiteral(", (Komma)"), int{','});
    delimiterBox->addItem(QStringLiteral("Tabulator"), int{'\t'});
    selectData(delimiterBox, int{detected.delimiter});
    numberStyleBox = new QComboBox(this);
    numberStyleBox->setObjectName(QStringLiteral("csvNumberStyleBox"));
    numberStyleBox->addItem(QStringLiteral("deutsch (1.234,56)"),
                            static_cast<int>(NumberStyle::German));
    numberStyleBox->addItem(QStringLiteral("englisch (1,234.56)"),
                            static_cast<int>(NumberStyle::English));
    selectData(numberStyleBox, static_cast<int>(detected.numberStyle));
    auto* encodingLabel = new QLabel(QStringLiteral("&Zeichensatz:"), this);
    encodingLabel->setBuddy(encodingBox);
    auto* delimiterLabel = new QLabel(QStringLiteral("&Trennzeichen:"), this);
    delimiterLabel->setBuddy(delimiterBox);
    auto* numberLabel = new QLabel(QStringLiteral("Za&hlen:"), this);
    numberLabel->setBuddy(numberStyleBox);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             encodingLabel, encodingBox, delimiterLabel, delimiterBox, numberLabel, numberStyleBox})
        reading->addWidget(widget);
    reading->addStretch();
    form->addRow(QStringLiteral("Erkannt:"), reading);
    layout->addLayout(form);

    previewTable = new QTableWidget(this);
    previewTable->setObjectName(QStringLiteral("csvPreviewTable"));
    previewTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    previewTable->setAccessibleName(QStringLiteral("Vorschau der ersten Zeilen"));
    previewTable->setMinimumHeight(220);
    layout->addWidget(previewTable, 1);

    auto* mapping = new QGroupBox(QStringLiteral("Spalten zuordnen"), this);
    auto* mappingForm = new QFormLayout(mapping);
    for (std::size_t i = 0; i < kCsvColumnFields.size(); ++i) {
        auto* box = new QComboBox(mapping);
        const QString field = fromUtf8(std::string(kCsvColumnFields[i].first));
        box->setObjectName(QStringLiteral("csvColumnBox%1").arg(i));
        box->setAccessibleName(field);
        const bool required = kCsvColumnFields[i].second == &CsvColumns::articleNumber ||
                              kCsvColumnFields[i].second == &CsvColumns::price;
        mappingForm->addRow(field + (required ? QStringLiteral(" *:") : QStringLiteral(":")), box);
        connect(box, &QComboBox::currentIndexChanged, this, [this, i] { columnChosen(i); });
        columnBoxes.push_back(box);
    }
    layout->addWidget(mapping);

    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("csvProblemLabel"));
    problemLabel->setStyleSheet(QStringLiteral("color: #b00020"));
    layout->addWidget(problemLabel);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setText(QStringLiteral("Weiter"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    supplierBox->setCurrentText(supplier);
    if (auto columns = remembered_(supplier.toStdString()))
        wanted_ = std::move(*columns);
    readPreview();
    connect(supplierBox, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { supplierChanged(text); });
    for (QComboBox* box : {encodingBox, delimiterBox})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { readPreview(); });
    resize(820, 640);
}

CsvOptions CsvImportDialog::options() const {
    CsvOptions options;
    options.supplier = supplierBox->currentText().trimmed().toStdString();
    options.encoding = static_cast<TextEncoding>(encodingBox->currentData().toInt());
    options.delimiter = static_cast<char>(delimiterBox->currentData().toInt());
    options.numberStyle = static_cast<NumberStyle>(numberStyleBox->currentData().toInt());
    for (std::size_t i = 0; i < kCsvColumnFields.size(); ++i) {
        const int column = columnBoxes[i]->currentData().toInt();
        options.columns.*(kCsvColumnFields[i].second) =
            column == kNoColumn ? std::string() : header_[static_cast<std::size_t>(column)];
    }
    return options;
}

void CsvImportDialog::readPreview() {
    const CsvPreview preview = previewCsv(
        bytes_, kPreviewRecords + 1, static_cast<TextEncoding>(encodingBox->currentData().toInt()),
        static_cast<char>(delimiterBox->currentData().toInt()));
    header_ = preview.records.empty() ? std::vector<std::string>() : preview.records.front();
    std::size_t columns = 0;
    for (const auto& record : preview.records)
        columns = std::max(columns, record.size());
    previewTable->clear();
    previewTable->setColumnCount(static_cast<int>(columns));
    previewTable->setRowCount(
        static_cast<int>(preview.records.empty() ? 0 : preview.records.size() - 1));
    QStringList labels;
    for (std::size_t c = 0; c < columns; ++c)
        labels << (c < header_.size() && !header_[c].empty()
                       ? fromUtf8(header_[c])
                       : QStringLiteral("Spalte %1").arg(c + 1));
    previewTable->setHorizontalHeaderLabels(labels);
    for (std::size_t r = 1; r < preview.records.size(); ++r) {
        const auto& record = preview.records[r];
        for (std::size_t c = 0; c < record.size(); ++c)
            previewTable->setItem(static_cast<int>(r - 1), static_cast<int>(c),
                                  new QTableWidgetItem(fromUtf8(record[c])));
    }
    previewTable->resizeColumnsToContents();
    showColumns();
}

void CsvImportDialog::supplierChanged(const QString& supplier) {
    if (auto columns = remembered_(supplier.trimmed().toStdString())) {
        wanted_ = std::move(*columns);
        showColumns();
    }
    check();
}

void CsvImportDialog::showColumns() {
    filling_ = true;
    for (std::size_t i = 0; i < kCsvColumnFields.size(); ++i) {
        QComboBox* box = columnBoxes[i];
        box->clear();
        box->addItem(QStringLiteral("(keine)"), kNoColumn);
        for (std::size_t c = 0; c < header_.size(); ++c) {
            // A column is chosen by its header name, so a column without one cannot be.
            if (!header_[c].empty())
                box->addItem(QStringLiteral("%1: %2").arg(c + 1).arg(fromUtf8(header_[c])),
                             static_cast<int>(c));
        }
        const auto column = findCsvColumn(header_, wanted_.*(kCsvColumnFields[i].second));
        selectData(box, column ? static_cast<int>(*column) : kNoColumn);
    }
    filling_ = false;
    check();
}

void CsvImportDialog::columnChosen(std::size_t field) {
    if (filling_)
        return;
    const int column = columnBoxes[field]->currentData().toInt();
    wanted_.*(kCsvColumnFields[field].second) =
        column == kNoColumn ? std::string() : header_[static_cast<std::size_t>(column)];
    check();
}

void CsvImportDialog::check() {
    QStringList problems;
    if (supplierBox->currentText().trimmed().isEmpty())
        problems << QStringLiteral("Bitte den Lieferanten angeben.");
    if (header_.empty())
        problems << QStringLiteral("Die Datei enthält keine Kopfzeile.");
    for (const std::string_view field : missingRequiredCsvFields(options().columns))
        problems << QStringLiteral("Bitte die Spalte für „%1“ wählen.")
                        .arg(fromUtf8(std::string(field)));
    problemLabel->setText(problems.join(QLatin1Char('\n')));
    problemLabel->setVisible(!problems.isEmpty());
    okButton->setEnabled(problems.isEmpty());
}

} // namespace pyrelto
