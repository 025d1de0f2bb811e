#include "MainUnit.h"
#include "calculation_pdf.h"
#include "database_dialog.h"
#include "dialogs.h"
#include "firm_data_dialog.h"
#include "invoice_dialog.h"
#include "offer_dialog.h"
#include "offer_register_tab.h"
#include "offer_service.h"
#include "program_store.h"
#include "qt_text.h"
#include "settings_store.h"
#include "sheet.h"

#include <QDate>
#include <span>

namespace pyrelto {

Store& TMainForm::programStore() {
    if (!store_) {
        QString warning;
        store_ = openProgramStore(programStoreUri(), {}, &warning);
        if (!warning.isEmpty())
            dialogs().message(this, QString(), warning, Dialogs::Icon::Warning);
    }
    return *store_;
}

void TMainForm::saveCalculationPdf() {
    runCommand([this] {
        if (const auto name = dialogs().saveFileName(this, pdfFilter(), QStringLiteral(".pdf")))
            writeCalculationPdf(sheet_, *name, QDate::currentDate(), &extras_.takeOff);
    });
}

void TMainForm::createOffer() {
    runCommand([this] {
        Store& store = programStore();
        FirmData firm = firmDataOf(store);
        if (const QString warning = dropInvalidIban(firm); !warning.isEmpty())
            dialogs().message(this, QString(), warning, Dialogs::Icon::Warning);
        OfferDialog dialog(sheet_, extras_, firm, store, printer(), QDate::currentDate(), this);
        dialogs().runForm(dialog);
    });
}

void TMainForm::createInvoice() {
    runCommand([this] {
        Store& store = programStore();
        InvoiceDialog dialog(sheet_, extras_, firmDataOf(store), store, QDate::currentDate(), this);
        dialogs().runForm(dialog);
    });
}

void TMainForm::createInvoiceForOffer(const OfferRecord& offer) {
    runCommand([this, &offer] {
        Sheet sheet(regionalNumberFormat());
        const auto& bytes = offer.entry.calculation;
        const CalculationExtras extras = openCalculationBytes(
            sheet, std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()),
            u"Angebot " + QString::fromStdString(offer.number).toStdU16String());
        Store& store = programStore();
        InvoiceDialog dialog(sheet, extras, firmDataOf(store), store, QDate::currentDate(), this);
        dialog.takeOffer(offer);
        dialogs().runForm(dialog);
    });
}

void TMainForm::editFirmData() {
    runCommand([this] {
        Store& store = programStore();
        FirmDataDialog dialog(firmDataOf(store), this);
        if (!dialogs().runForm(dialog))
            return;
        // A failure to store them (the database gone meanwhile) is reported by runCommand.
        storeFirmData(store, dialog.firmData());
    });
}

void TMainForm::chooseDatabase() {
    runCommand([this] {
        const auto settings = programSettings(toQString(kDatabaseGroup));
        const DatabaseChoice before = readDatabaseChoice(*settings);
        DatabaseDialog dialog(before, this);
        if (!dialogs().runForm(dialog) || dialog.choice() == before)
            return;
        if (!writeDatabaseChoice(*settings, dialog.choice()))
            reportError(this,
                        QStringLiteral("Die Wahl der Datenbank konnte nicht gespeichert werden."));
        // The next command opens the database chosen now, with its one-time take-over.
        store_.reset();
        customerSyncFailed_ = false;
        customerChangeSeen_ = -1;
        if (offerRegisterTab_ != nullptr && offerRegisterTab_->isVisible())
            offerRegisterTab_->refresh();
        // A shared list joins this PC's names with the server's at once.
        syncSharedCustomers();
    });
}

} // namespace pyrelto
