#pragma once
// "Preisliste importieren" for a CSV file: which supplier the list is, how its bytes are read
// (encoding, delimiter, number format: detected, changeable) and which column holds which field.
// A preview shows the first records as they read with the current choices, so a wrong encoding
// shows as broken umlauts before anything is imported. The reading itself is the catalogue's
// reader; this form only gathers its options.

#include "csv_price_list.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pyrelto {

class CsvImportDialog final : public QDialog {
public:
    // Records of the file the preview shows below its header.
    static constexpr std::size_t kPreviewRecords = 20;

    // The mapping remembered for a supplier, nullopt when none was.
    using RememberedColumns = std::function<std::optional<CsvColumns>(const std::string&)>;

    // `bytes` must outlive the dialog. The supplier starts as the one whose remembered mapping
    // fits the file's header when exactly one of `knownSuppliers` does and `fileBaseName` has
    // none of its own, else as `fileBaseName`.
    CsvImportDialog(std::span<const std::byte> bytes, const QString& fileBaseName,
                    const std::vector<std::string>& knownSuppliers, RememberedColumns remembered,
                    QWidget* parent = nullptr);

    // The choices as the reader takes them; `priceDate` is left to the caller.
    CsvOptions options() const;

    QComboBox* supplierBox = nullptr;
    QComboBox* encodingBox = nullptr;
    QComboBox* delimiterBox = nullptr;
    QComboBox* numberStyleBox = nullptr;
    QTableWidget* previewTable = nullptr;
    // One per kCsvColumnFields entry, in its order: "(keine)" or a column of the header.
    std::vector<QComboBox*> columnBoxes;
    QLabel* problemLabel = nullptr;
    QPushButton* okButton = nullptr;

private:
    void readPreview();
    void supplierChanged(const QString& supplier);
    void showColumns();
    void columnChosen(std::size_t field);
    void check();

    std::span<const std::byte> bytes_;
    RememberedColumns remembered_;
    std::vector<std::string> header_;
    // The header names the user means, kept across a change of encoding or delimiter even while
    // the header read with the current choice lacks one of them.
    CsvColumns wanted_;
    bool filling_ = false;
};

} // namespace pyrelto
