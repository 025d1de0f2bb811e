#include "MainUnit.h"

#include "button_pictures.h"
#include "calculation_file.h"
#include "catalogue_tab.h"
#include "customer_tab.h"
#include "decimal_text.h"
#include "deferred_page.h"
#include "dialogs.h"
#include "form_storage.h"
#include "invoice_register_tab.h"
#include "offer_register_tab.h"
#include "settings_store.h"
#include "sheet_view.h"
#include "store.h"
#include "takeoff_tab.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

namespace pyrelto {

namespace {

constexpr int kButtonBarHeight = 41;
constexpr int kNotch = 120;
constexpr int kHandedOverRetryMs = 200;

// A page with a folded corner and lines of text, for the offer.
QIcon documentIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    const QPoint page[] = {{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}};
    p.drawPolygon(page, 5);
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
    p.setPen(QColor(40, 80, 150));
    for (const int y : {6, 8, 10, 12})
        p.drawLine(5, y, y == 12 ? 8 : 11, y);
    return QIcon(pixmap);
}

} // namespace

NumberFormat regionalNumberFormat() {
    const QString point = QLocale::system().decimalPoint();
    return NumberFormat{point.isEmpty() ? u'.' : point.at(0).unicode()};
}

TMainForm::TMainForm(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Torvane Pyrelto Kalkulation 1.0"));
    buildMenu();
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(client);
    buildButtonBar();
    buildPages();
    buildCatalogueCommands();
    layout->addWidget(Panel18);
    layout->addWidget(PageControl1);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    settingsStore_ = QtSettingsStore::forExecutable(QtSettingsStore::executableBaseName(),
                                                    QStringLiteral("TMainForm"));
    formStorage_ = std::make_unique<TFormStorage>(
        *this, sheet_, *settingsStore_,
        [this](const QString& message) { reportError(this, message); });
    FormStorage1 = formStorage_.get();
    FormCreate();

#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { saveSession(); });
#endif
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!closed_)
            saveSession();
    });
}

TMainForm::~TMainForm() {
    // A save when the window goes without one at its close, while the sheet is still there.
    FormStorage1->formDestroying();
    stopSharedCustomers();

    // The views show the sheet to the end; they go first.
    delete takeCentralWidget();
}

void TMainForm::buildMenu() {
    Datei1 = menuBar()->addMenu(QStringLiteral("Datei"));
    Datei1->setObjectName(QStringLiteral("Datei1"));
    auto add = [this](const QString& name, const QString& text, void (TMainForm::*handler)()) {
        QAction* action = Datei1->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    ffnen1 = add(QStringLiteral("ffnen1"), QStringLiteral("Öffnen..."), &TMainForm::ffnen1Click);
    Speichernunter1 = add(QStringLiteral("Speichernunter1"), QStringLiteral("Speichern unter..."),
                          &TMainForm::Speichernunter1Click);
    Datei1->addSeparator();
    Druckereinrichten1 =
        add(QStringLiteral("Druckereinrichten1"), QStringLiteral("Drucker einrichten..."),
            &TMainForm::Druckereinrichten1Click);
    Drucken1 =
        add(QStringLiteral("Drucken1"), QStringLiteral("Drucken"), &TMainForm::Drucken1Click);
    saveCalculationPdfAction =
        add(QStringLiteral("saveCalculationPdfAction"),
            QStringLiteral("Kalkulation als PDF speichern..."), &TMainForm::saveCalculationPdf);
    Datei1->addSeparator();
    createOfferAction = add(QStringLiteral("createOfferAction"),
                            QStringLiteral("Angebot erstellen..."), &TMainForm::createOffer);
    createInvoiceAction = add(QStringLiteral("createInvoiceAction"),
                              QStringLiteral("Rechnung erstellen..."), &TMainForm::createInvoice);
    editFirmDataAction = add(QStringLiteral("editFirmDataAction"), QStringLiteral("Firmendaten..."),
                             &TMainForm::editFirmData);
    chooseDatabaseAction = add(QStringLiteral("chooseDatabaseAction"),
                               QStringLiteral("Datenbank..."), &TMainForm::chooseDatabase);
    Datei1->addSeparator();
    Beenden1 =
        add(QStringLiteral("Beenden1"), QStringLiteral("Beenden"), &TMainForm::Beenden1Click);
}

void TMainForm::buildButtonBar() {
    Panel18 = new QFrame(centralWidget());
    Panel18->setObjectName(QStringLiteral("Panel18"));
    Panel18->setFrameShape(QFrame::NoFrame);
    Panel18->setFixedHeight(kButtonBarHeight);
    auto add = [this](const QString& name, const QString& text, const QIcon& icon, int x, int width,
                      void (TMainForm::*handler)()) {
        auto* button = new QPushButton(icon, text, Panel18);
        button->setObjectName(name);
        button->setIconSize(QSize(16, 16));
        button->setGeometry(x, 8, width, 25);
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        return button;
    };
    BitBtn11 = add(QStringLiteral("BitBtn11"), QStringLiteral("Öffnen..."),
                   buttonPicture(ButtonPicture::Open), 8, 89, &TMainForm::ffnen1Click);
    BitBtn12 = add(QStringLiteral("BitBtn12"), QStringLiteral("Speichern..."),
                   buttonPicture(ButtonPicture::Save), 104, 105, &TMainForm::Speichernunter1Click);
    BitBtn13 = add(QStringLiteral("BitBtn13"), QStringLiteral("Drucken"),
                   buttonPicture(ButtonPicture::Print), 216, 105, &TMainForm::Drucken1Click);
    offerButton = add(QStringLiteral("offerButton"), QStringLiteral("Angebot..."), documentIcon(),
                      328, 105, &TMainForm::createOffer);
    // The buttons keep their places; the window gets no narrower than the last one's end plus the
    // margin at the left, or that button would be cut at the window's edge.
    Panel18->setMinimumWidth(offerButton->geometry().right() + 1 + BitBtn11->x());
}

void TMainForm::buildPages() {
    PageControl1 = new QTabWidget(centralWidget());
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* pageLayout = new QVBoxLayout(TabSheet1);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new SheetView(sheet_, TabSheet1);
    pageLayout->addWidget(ScrollBox1);
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    buildCustomerTab();
    // Its tables are built when the page is first shown.
    takeOffTab_ = new TakeOffTab(sheet_, extras_.takeOff);
    takeOffTab_->setLinkListener([this](bool linked) { showAreaLink(linked); });
    offerPage = new DeferredPage([this] {
        offerRegisterTab_ =
            new OfferRegisterTab([this]() -> Store& { return programStore(); },
                                 [this](const OfferRecord& offer) { openOfferCalculation(offer); });
        offerRegisterTab_->setInvoiceCommand(
            [this](const OfferRecord& offer) { createInvoiceForOffer(offer); });
        return offerRegisterTab_;
    });
    offerPage->setObjectName(QStringLiteral("offerPage"));
    invoicePage = new DeferredPage([this] {
        invoiceRegisterTab_ = new InvoiceRegisterTab([this]() -> Store& { return programStore(); },
                                                     [] { return QDate::currentDate(); });
        return invoiceRegisterTab_;
    });
    invoicePage->setObjectName(QStringLiteral("invoicePage"));
    // The catalogue is read when the page is first shown, not here: the window starts as fast as
    // without it.
    cataloguePage = new DeferredPage([this] {
        catalogueTab_ = new CatalogueTab([this]() -> Store& { return programStore(); });
        return catalogueTab_;
    });
    cataloguePage->setObjectName(QStringLiteral("cataloguePage"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Kalkulation"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Kunden Vorlagen"));
    PageControl1->addTab(takeOffTab_, QStringLiteral("Aufmaß"));
    PageControl1->addTab(offerPage, QStringLiteral("Angebote"));
    PageControl1->addTab(invoicePage, QStringLiteral("Rechnungen"));
    PageControl1->addTab(cataloguePage, QStringLiteral("Materialien"));
    showAreaLink(takeOffTab_->linkShown());
    PageControl1->setCurrentIndex(0);
    // The tabs do not change with the wheel.
    PageControl1->tabBar()->installEventFilter(this);
}

OfferRegisterTab* TMainForm::offerRegisterTab() {
    offerPage->content();
    return offerRegisterTab_;
}

InvoiceRegisterTab* TMainForm::invoiceRegisterTab() {
    invoicePage->content();
    return invoiceRegisterTab_;
}

CatalogueTab* TMainForm::catalogueTab() {
    cataloguePage->content();
    return catalogueTab_;
}

void TMainForm::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const FileMessage& message) {
        // The two file messages have no caption of their own.
        dialogs().message(this, QString(), QString::fromUtf8(message.what()), Dialogs::Icon::Error);
    } catch (...) {
        reportCurrentException(this);
    }
}

void TMainForm::ffnen1Click() {
    runCommand([this] {
        if (const auto name =
                dialogs().openFileName(this, calculationFilter(), calculationSuffix())) {
            openCalculation(name->toStdU16String());
        }
    });
}

void TMainForm::Speichernunter1Click() {
    runCommand([this] {
        if (const auto name =
                dialogs().saveFileName(this, calculationFilter(), calculationSuffix())) {
            saveCalculation(name->toStdU16String());
        }
    });
}

void TMainForm::openCalculation(const std::u16string& fname) {
    // A file that cannot be opened leaves the sheet and what it carried as they were.
    CalculationExtras opened = openfile(sheet_, fname);
    extras_ = std::move(opened);
    extrasSource_ = fname;
    takeOffTab_->takeOffReplaced();
    if (extras_.hasUnreadData()) {
        dialogs().message(this, QString(), QString::fromStdString(extras_.warning),
                          Dialogs::Icon::Warning);
    }
}

void TMainForm::openOfferCalculation(const OfferRecord& offer) {
    const std::u16string name = u"Angebot " + QString::fromStdString(offer.number).toStdU16String();
    const auto& bytes = offer.entry.calculation;
    CalculationExtras opened = openCalculationBytes(
        sheet_, std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()), name);
    extras_ = std::move(opened);
    // Named after the offer, not after a file: saving asks for a name as always, so the file the
    // offer was made from is never overwritten by accident.
    extrasSource_ = name;
    PageControl1->setCurrentIndex(0);
    if (extras_.hasUnreadData()) {
        dialogs().message(this, QString(), QString::fromStdString(extras_.warning),
                          Dialogs::Icon::Warning);
    }
}

void TMainForm::saveCalculation(const std::u16string& fname) {
    if (extras_.hasUnreadData()) {
        const auto answer = dialogs().question(
            this, QString(), QString::fromStdString(unreadDataQuestion(extrasSource_)),
            Dialogs::Answer::No);
        if (answer != Dialogs::Answer::Yes)
            return;
    }
    savefile(sheet_, fname, extras_);
    // What could not be read is gone from the saved file now; the next save need not ask again.
    extras_.warning.clear();
}

void TMainForm::Druckereinrichten1Click() {
    runCommand([this] { printerSetupCommand(); });
}

void TMainForm::Drucken1Click() {
    runCommand([this] { printCommand(); });
}

void TMainForm::Beenden1Click() {
    close();
}

void TMainForm::FormCreate() {
    sheet_.runCountRules();
    loadCustomerList();
}

void TMainForm::FormShow() {
    if (!arguments_.isEmpty()) {
        const QString fname = arguments_.constFirst();
        runCommand([this, &fname] { openCalculation(fname.toStdU16String()); });
    }
}

void TMainForm::argumentsHandedOver(const QStringList& arguments) {
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (arguments.isEmpty())
        return;
    handedOver_.append(arguments.constFirst());
    openHandedOverFiles();
}

void TMainForm::openHandedOverFiles() {
    // Opening under an open dialog would change the sheet behind the user's back (a file dialog
    // about to save it, say); the files wait until no dialog is open and the window is shown.
    if (!shown_ || QApplication::activeModalWidget() != nullptr) {
        if (!handedOverPlanned_) {
            handedOverPlanned_ = true;
            QTimer::singleShot(kHandedOverRetryMs, this, [this] {
                handedOverPlanned_ = false;
                openHandedOverFiles();
            });
        }
        return;
    }
    while (!handedOver_.isEmpty() && QApplication::activeModalWidget() == nullptr) {
        const QString fname = handedOver_.takeFirst();
        runCommand([this, &fname] { openCalculation(fname.toStdU16String()); });
    }
    if (!handedOver_.isEmpty())
        openHandedOverFiles();
}

void TMainForm::FormClose() {
    // This session's changes go to the shared list before the local copy is written.
    if (customerSyncTimer_ != nullptr) {
        customerSyncTimer_->stop();
        syncSharedCustomers();
        rememberUnmatchedChanges();
    }
    saveCustomerList();
}

void TMainForm::FormMouseWheelDown() {
    if (PageControl1->currentIndex() == 0) {
        QScrollBar* bar = ScrollBox1->verticalScrollBar();
        bar->setValue(bar->value() + kWheelStep);
    }
}

void TMainForm::FormMouseWheelUp() {
    if (PageControl1->currentIndex() == 0) {
        QScrollBar* bar = ScrollBox1->verticalScrollBar();
        bar->setValue(bar->value() - kWheelStep);
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    // Every wheel notch over the window reaches the window first, wherever the pointer is.
    if (QWindow* window = windowHandle()) {
        window->installEventFilter(this);
    }
    // Before FormShow, so that a file from the command line overrides the restored values.
    FormStorage1->RestoreFormPlacement();
    FormShow();
    startSharedCustomers();
}

void TMainForm::saveSession() {
    // A customer name still being typed is kept.
    customerTab_->commitEditing();
    FormStorage1->SaveFormPlacement();
    FormClose();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The window never refuses to close.
    saveSession();
    closed_ = true;
    event->accept();
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        sheet_.setNumberFormat(regionalNumberFormat());
        takeOffTab_->numberFormatChanged();
    }
    // Back at this window: what the other PCs did to the customer list comes in.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && shown_)
        requestCustomerSync();
    QMainWindow::changeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        if (watched == PageControl1->tabBar()) {
            return true;
        }
        if (watched == windowHandle()) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            wheelRemainder_ += wheel->angleDelta().y();
            for (; wheelRemainder_ >= kNotch; wheelRemainder_ -= kNotch) {
                FormMouseWheelUp();
            }
            for (; wheelRemainder_ <= -kNotch; wheelRemainder_ += kNotch) {
                FormMouseWheelDown();
            }
            // Qt would hand the wheel to the control under the pointer and give it the focus on
            // the way: a customer box scrolled under the pointer would flip its name and take
            // the focus from a field being typed in. Only the customer list has a wheel of its
            // own.
            scrollCustomerList(*wheel);
            scrollTakeOff(*wheel);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showAreaLink(bool linked) {
    const QString tip =
        linked ? QStringLiteral("Aus dem Aufmaß übernommen: folgt jeder Änderung dort. Eine hier "
                                "eingetippte Fläche löst die Verknüpfung.")
               : QString();
    ScrollBox1->fieldWidget(FieldId::Dach14Ed)->setToolTip(tip);
    if (QLabel* caption = ScrollBox1->caption(FieldId::Dach14Ed)) {
        caption->setText(linked ? QStringLiteral("Dachfläche (Aufmaß):")
                                : QStringLiteral("Dachfläche:"));
        caption->setToolTip(tip);
        caption->adjustSize();
    }
}

void TMainForm::scrollTakeOff(const QWheelEvent& wheel) {
    if (PageControl1->currentWidget() != takeOffTab_)
        return;
    const QPoint global = wheel.globalPosition().toPoint();
    QWidget* under = QApplication::widgetAt(global);
    while (under != nullptr && under != takeOffTab_ &&
           qobject_cast<QAbstractScrollArea*>(under) == nullptr)
        under = under->parentWidget();
    auto* area = qobject_cast<QAbstractScrollArea*>(under);
    if (area == nullptr || !takeOffTab_->isAncestorOf(area))
        return;
    QWidget* viewport = area->viewport();
    // Sent, not posted, as on the customer page: no focus moves.
    QWheelEvent copy(QPointF(viewport->mapFromGlobal(global)), wheel.globalPosition(),
                     wheel.pixelDelta(), wheel.angleDelta(), wheel.buttons(), wheel.modifiers(),
                     wheel.phase(), wheel.inverted(), wheel.source(), wheel.pointingDevice());
    QCoreApplication::sendEvent(viewport, &copy);
}

void TMainForm::scrollCustomerList(const QWheelEvent& wheel) {
    if (PageControl1->currentWidget() != TabSheet2) {
        return;
    }
    if (!customerTab_->hasWidgets())
        return;
    QAbstractItemView* list = customerTab_->ListView1;
    QWidget* viewport = list->viewport();
    const QPoint global = wheel.globalPosition().toPoint();
    const bool overList = list->rect().contains(list->mapFromGlobal(global));
    if (!overList && !list->hasFocus()) {
        return;
    }
    // Sent, not posted: a sent wheel event is delivered to its receiver only and moves no focus.
    QWheelEvent copy(QPointF(viewport->mapFromGlobal(global)), wheel.globalPosition(),
                     wheel.pixelDelta(), wheel.angleDelta(), wheel.buttons(), wheel.modifiers(),
                     wheel.phase(), wheel.inverted(), wheel.source(), wheel.pointingDevice());
    QCoreApplication::sendEvent(viewport, &copy);
}

} // namespace pyrelto
