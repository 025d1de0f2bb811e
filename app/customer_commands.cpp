// The window's part of the customer list and of the material presets: the "Kunden Vorlagen" page,
// the list's load at start and save at close, and the ten preset buttons of the material rows.

#include "MainUnit.h"
#include "customer_file.h"
#include "customer_list_file.h"
#include "customer_tab.h"
#include "dialogs.h"
#include "material_preset.h"
#include "qt_text.h"
#include "sheet_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pyrelto {

namespace {

// "Neuer Kunde" and "Löschen" are the window's default and cancel buttons while the customer page
// is shown, so Enter and Escape that travelled up to the window untaken (from the tab bar, say)
// run them too, not only keys typed inside the page.
class CustomerPageKeys final : public QObject {
public:
    CustomerPageKeys(QWidget* window, QTabWidget* pages, QWidget* page, CustomerTab* tab)
        : QObject(window), window_(window), pages_(pages), page_(page), tab_(tab) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::KeyPress ||
            pages_->currentWidget() != page_)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        // A focused push button answers Enter itself on the platform; here it lets it pass, and
        // it must not turn into a new customer.
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && qobject_cast<QAbstractButton*>(QApplication::focusWidget()))
            return false;
        return tab_->defaultButtonKey(key);
    }

private:
    QWidget* window_;
    QTabWidget* pages_;
    QWidget* page_;
    CustomerTab* tab_;
};

} // namespace

QString TMainForm::customerListNotSavedMessage(const std::u16string& fname) {
    return QStringLiteral("Die Kundenliste konnte nicht gespeichert werden:\n%1\n\n"
                          "Die Datei oder ihr Ordner ist schreibgeschützt, oder an ihrer Stelle "
                          "liegt keine gewöhnliche Datei. Die Änderungen an der Kundenliste aus "
                          "dieser Sitzung sind nicht gespeichert; die gespeicherte Liste bleibt, "
                          "wie sie war.")
        .arg(QDir::toNativeSeparators(toQString(fname)));
}

void TMainForm::buildCustomerTab() {
    // The list is loaded at the start; its view waits until the page is first shown.
    customerTab_ = new CustomerTab(TabSheet2, CustomerTab::Widgets::OnFirstShow);
    auto* layout = new QVBoxLayout(TabSheet2);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(customerTab_);
    customerFile_ = std::make_unique<CustomerListFile>(customerTab_->list());
    customerTab_->setCombo(ScrollBox1->kundeEd());
    installEventFilter(new CustomerPageKeys(this, PageControl1, TabSheet2, customerTab_));
    connect(customerTab_, &CustomerTab::customerTakenOver, this, [this](const QString& name) {
        sheet_.text(FieldId::KundeEd).setText(name.toStdU16String());
        PageControl1->setCurrentIndex(0);
    });

    for (int row = 0; row < 5; ++row) {
        connect(ScrollBox1->presetButton(row, false), &QPushButton::clicked, this,
                [this, row] { saveMaterialPreset(row); });
        connect(ScrollBox1->presetButton(row, true), &QPushButton::clicked, this,
                [this, row] { loadMaterialPreset(row); });
    }
}

CustomerTab* TMainForm::customerTab() {
    customerTab_->ensureWidgets();
    return customerTab_;
}

CustomerList& TMainForm::customerList() {
    return customerTab_->list();
}

bool TMainForm::openfileConfig(const std::u16string& fname) {
    bool opened = false;
    // A damaged file is reported like any failed transfer; the names read before it stay.
    runCommand([this, &fname, &opened] { opened = customerFile_->openfileConfig(fname); });
    return opened;
}

void TMainForm::savefileConfig(const std::u16string& fname) {
    // The window closes all the same after a failed write; the old file is still whole.
    runCommand([this, &fname] {
        if (customerFile_->savefileConfig(fname) || !customerFile_->lostChanges())
            return;
        // Passing over it silently would cost every customer edit of this run unnoticed.
        reportError(this, customerListNotSavedMessage(fname));
    });
}

void TMainForm::loadCustomerList() {
    if (openfileConfig(GetProgramDir(false) + std::u16string(kCustomerFileName))) {
        sheet_.runCountRules();
    }
}

void TMainForm::saveCustomerList() {
    savefileConfig(GetProgramDir(true) + std::u16string(kCustomerFileName));
}

void TMainForm::saveMaterialPreset(int materialRow) {
    runCommand([this, materialRow] {
        const auto name = dialogs().saveFileName(this, materialFilter(), materialSuffix());
        if (name) {
            savemat(name->toStdU16String(), readMaterialRow(sheet_, materialRow));
        }
    });
}

void TMainForm::loadMaterialPreset(int materialRow) {
    runCommand([this, materialRow] {
        const auto name = dialogs().openFileName(this, materialFilter(), materialSuffix());
        if (name) {
            // The whole preset is read before the first field changes: a file that cannot be
            // read leaves the row as it was.
            const MaterialPreset preset = loademat(name->toStdU16String());
            applyMaterialRow(sheet_, materialRow, preset);
        }
    });
}

} // namespace pyrelto
