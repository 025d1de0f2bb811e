#include "MainUnit.h"
#include "calculation_pdf.h"
#include "dialogs.h"
#include "firm_data_dialog.h"
#include "offer_dialog.h"
#include "offer_service.h"
#include "qt_text.h"
#include "settings_store.h"

#include <QDate>

namespace pyrelto {

void TMainForm::saveCalculationPdf() {
    runCommand([this] {
        if (const auto name = dialogs().saveFileName(this, pdfFilter(), QStringLiteral(".pdf")))
            writeCalculationPdf(sheet_, *name, QDate::currentDate(), &extras_.takeOff);
    });
}

void TMainForm::createOffer() {
    runCommand([this] {
        const auto firmStore = programSettings(toQString(kFirmDataGroup));
        const auto counter = programSettings(toQString(kOfferGroup));
        FirmData firm = readFirmData(*firmStore);
        if (const QString warning = dropInvalidIban(firm); !warning.isEmpty())
            dialogs().message(this, QString(), warning, Dialogs::Icon::Warning);
        OfferDialog dialog(sheet_, firm, *counter, printer(), QDate::currentDate(), this,
                           &extras_.takeOff);
        dialogs().runForm(dialog);
    });
}

void TMainForm::editFirmData() {
    runCommand([this] {
        const auto store = programSettings(toQString(kFirmDataGroup));
        FirmDataDialog dialog(readFirmData(*store), this);
        if (!dialogs().runForm(dialog))
            return;
        if (!writeFirmData(*store, dialog.firmData()))
            reportError(this, QStringLiteral("Die Firmendaten konnten nicht gespeichert werden."));
    });
}

} // namespace pyrelto
