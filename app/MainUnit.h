#pragma once
// TMainForm, the one window of the program. It owns the sheet and wires the menu, the button bar
// and the tabs to their commands; the sheet view, the customer tab, the printout and the stored
// settings are parts of their own.

#include "calculation_file.h"
#include "customer_list_file.h"
#include "repricing.h"
#include "sheet.h"

#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QMenu;
class QPrinter;
class QPushButton;
class QTimer;
class QTabWidget;
class QWheelEvent;

namespace pyrelto {

class SettingsStore;
class Store;
struct OfferRecord;
class CustomerTab;
class CatalogueTab;
class CustomerList;
class DeferredPage;
class InvoiceRegisterTab;
class OfferRegisterTab;
class SheetView;
class TakeOffTab;
class TFormStorage;

// The number format of the user's regional settings, as the window's sheet writes and reads.
NumberFormat regionalNumberFormat();

class TMainForm final : public QMainWindow {
    Q_OBJECT

public:
    // Client area at design size, in pixels at 96 dpi.
    static constexpr int kClientWidth = 811;
    static constexpr int kClientHeight = 682;
    // How far one notch of the mouse wheel scrolls the sheet.
    static constexpr int kWheelStep = 20;
    // The calculation file dialogs.
    static QString calculationFilter() { return QStringLiteral("Kalkulation (*.kal)|*.kal"); }
    static QString calculationSuffix() { return QStringLiteral(".kal"); }

    // `arguments` is the command line after the program's name; the first one names a calculation
    // file that is opened when the window is first shown, the others are ignored.
    explicit TMainForm(QStringList arguments = {}, QWidget* parent = nullptr);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    Sheet& sheet() noexcept { return sheet_; }
    // The "Kunden Vorlagen" page, TabSheet2.
    QWidget* customerPage() const noexcept { return TabSheet2; }

    // The customer list on that page; its buttons and list view are made now if the page has not
    // been shown yet.
    CustomerTab* customerTab();
    // The customer list itself, loaded at the start whether or not its page is ever shown.
    CustomerList& customerList();
    // The "Aufmaß" page: the take-off kept with the calculation, its net area linked to the
    // sheet's roof area.
    TakeOffTab* takeOffTab() const noexcept { return takeOffTab_; }
    // The "Angebote", "Rechnungen" and "Materialien" pages are made when first shown; these make
    // them now if they are not there yet.
    OfferRegisterTab* offerRegisterTab();
    InvoiceRegisterTab* invoiceRegisterTab();
    // The "Materialien" tab; it reads the catalogue when first shown.
    CatalogueTab* catalogueTab();
    // The customer list file: read into the list (true when it could be opened and read), and
    // written from it. Failures go to the standard error report, a file that cannot be created
    // too (with customerListNotSavedMessage) unless it already holds the list's names.
    bool openfileConfig(const std::u16string& fname);
    void savefileConfig(const std::u16string& fname);
    static QString customerListNotSavedMessage(const std::u16string& fname);

    // The preset buttons of material row `materialRow` (0-4): "Material speichern..." (BitBtn1,
    // 3, 5, 7, 9) and "Material laden..." (BitBtn2, 4, 6, 8, 10).
    void saveMaterialPreset(int materialRow);
    void loadMaterialPreset(int materialRow);
    static QString materialFilter() { return QStringLiteral("Material (*.mat)|*.mat"); }
    static QString materialSuffix() { return QStringLiteral(".mat"); }

    // Commands of the menu and the button bar.
    void ffnen1Click();
    void Speichernunter1Click();
    void Druckereinrichten1Click();
    void Drucken1Click();
    void Beenden1Click();
    // The offer and the PDF commands (app/offer_commands.cpp).
    void saveCalculationPdf();
    void createOffer();
    void createInvoice();
    // "Rechnung erstellen..." of an accepted offer in the "Angebote" tab: its calculation as it
    // was, not the sheet's.
    void createInvoiceForOffer(const OfferRecord& offer);
    void editFirmData();
    // "Datenbank...": this PC's file or a shared PostgreSQL server (app/offer_commands.cpp).
    void chooseDatabase();
    static QString pdfFilter() { return QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"); }

    // The catalogue commands (app/catalogue_commands.cpp). F4 in a material or piece row opens
    // "Artikel wählen" for that row; the article picked is entered through the row's fields as
    // typed and remembered with the calculation.
    void pickFromCatalogue(RowSlot slot);
    // The row of the field that has the focus, when it is a material or piece row.
    std::optional<RowSlot> focusedRowSlot() const;
    // "Preisliste importieren...": the list read, its summary shown, applied on confirmation.
    void importPriceList();
    // "Preise aktualisieren...": the rows that remember an article, old -> new price and the net
    // end sum before -> after; on "Übernehmen" the new prices are entered as typed.
    void repriceCalculation();
    // "Preise aktualisieren (Ordner)...": a folder of calculations, a dry run's report first; on
    // "Übernehmen" every file with new prices is written with the safe write, the old one kept
    // as "NAME.kal.bak".
    void repriceCalculationFolder();
    // The catalogue's articles of the last pick, as the extension block remembers them.
    const CalculationExtras& calculationExtras() const noexcept { return extras_; }

    // Start-up and shut-down handlers, run by the window itself.
    void FormCreate();
    void FormShow();
    void FormClose();
    // What a close stores (the customer list, the window's placement and values), without the
    // close: the session ends, and Windows ends the process at log-off without closing the
    // window. Run at QGuiApplication::commitDataRequest, and at aboutToQuit unless the window
    // closed already.
    void saveSession();
    // One notch of the mouse wheel.
    void FormMouseWheelDown();
    void FormMouseWheelUp();

    // A later start of the program handed over its command line: the window comes to the front
    // and opens the file as if it had been named on its own command line. While a dialog is open
    // the file waits for it to close.
    void argumentsHandedOver(const QStringList& arguments);

    // Runs a command: the file messages appear in a plain error box, any other error that
    // escapes goes to the standard error report, and the program goes on.
    void runCommand(const std::function<void()>& command);

    // The components, by their names in the window's design.
    QMenu* Datei1 = nullptr;
    QAction* ffnen1 = nullptr;
    QAction* Speichernunter1 = nullptr;
    QAction* Druckereinrichten1 = nullptr;
    QAction* Drucken1 = nullptr;
    // Added beyond the design, so named by their role.
    QAction* saveCalculationPdfAction = nullptr;
    QAction* createOfferAction = nullptr;
    QAction* createInvoiceAction = nullptr;
    QAction* editFirmDataAction = nullptr;
    QAction* chooseDatabaseAction = nullptr;
    QAction* Beenden1 = nullptr;
    QMenu* catalogueMenu = nullptr; // "Materialien"
    QAction* pickArticleAction = nullptr;
    QAction* importPriceListAction = nullptr;
    QAction* repriceCalculationAction = nullptr;
    QAction* repriceFolderAction = nullptr;
    QFrame* Panel18 = nullptr;
    QPushButton* BitBtn11 = nullptr;
    QPushButton* BitBtn12 = nullptr;
    QPushButton* BitBtn13 = nullptr;
    QPushButton* offerButton = nullptr; // "Angebot...", added beyond the design
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    // Added beyond the design: "Angebote", "Rechnungen", "Materialien".
    DeferredPage* offerPage = nullptr;
    DeferredPage* invoicePage = nullptr;
    DeferredPage* cataloguePage = nullptr;
    SheetView* ScrollBox1 = nullptr;
    // The stored settings: VAT rate, currency and window placement between runs.
    TFormStorage* FormStorage1 = nullptr;

    // The printer the print command prints on; the printer set-up changes it for later prints.
    QPrinter& printer();

    // The program's database (services/program_store.h), opened when a command first needs it,
    // with the one-time take-over of the old files; so a database that cannot be reached never
    // holds up the start. Throws StoreError ("Die gemeinsame Datenbank ist nicht erreichbar: …");
    // the next use tries again.
    Store& programStore();
    // With a shared database: matches the customer list with the database's (app/
    // shared_customers.cpp) — the others' new customers come in, the ones they deleted go, this
    // PC's changes go out. True when the list here changed. Nothing on "Nur dieser PC".
    bool syncSharedCustomers();
    // The first match after the start has run (until then nothing asks the database).
    // The first match after the first paint is over (or there was none to make).
    bool sharedCustomersStarted() const noexcept { return customerSyncReady_ && !storeOpening_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void buildButtonBar();
    void buildPages();
    void buildCatalogueCommands();
    // The customer page and the preset buttons (app/customer_commands.cpp).
    void buildCustomerTab();
    void loadCustomerList();
    void saveCustomerList();
    // The printer set-up and the printout (app/print_commands.cpp).
    void printerSetupCommand();
    void printCommand();
    // A wheel notch on the customer page scrolls the customer list when the pointer is over it
    // or the list has the focus; no other control there has a wheel of its own.
    void scrollCustomerList(const QWheelEvent& wheel);
    // On the take-off page a notch scrolls the table (or other scrolling view) under the pointer.
    void scrollTakeOff(const QWheelEvent& wheel);
    // The sheet's roof area says whether it follows the take-off.
    void showAreaLink(bool linked);

    // Its first texts are already written in the regional format.
    Sheet sheet_{regionalNumberFormat()};
    // After the sheet, so that the settings go before the fields they read.
    std::unique_ptr<SettingsStore> settingsStore_;
    std::unique_ptr<TFormStorage> formStorage_;
    std::unique_ptr<QPrinter> printer_;
    QStringList arguments_;
    bool shown_ = false;
    bool closed_ = false;
    // Handed-over files not opened yet, and whether a later look at them is already planned.
    QStringList handedOver_;
    bool handedOverPlanned_ = false;
    void openHandedOverFiles();
    // What the last opened calculation carried after its 80 entries (the take-off, chunks of later
    // versions), kept so that saving the sheet writes it back instead of dropping it.
    CalculationExtras extras_;
    std::u16string extrasSource_;
    void openCalculation(const std::u16string& fname);
    // The calculation kept with an offer of the register, as a new sheet that was never saved.
    void openOfferCalculation(const OfferRecord& offer);
    void saveCalculation(const std::u16string& fname);
    // Wheel rotation not yet making up a whole notch (high-resolution wheels send parts).
    int wheelRemainder_ = 0;
    CustomerTab* customerTab_ = nullptr;
    TakeOffTab* takeOffTab_ = nullptr;
    OfferRegisterTab* offerRegisterTab_ = nullptr;
    InvoiceRegisterTab* invoiceRegisterTab_ = nullptr;
    CatalogueTab* catalogueTab_ = nullptr;
    std::unique_ptr<CustomerListFile> customerFile_;
    std::unique_ptr<Store> store_;

    // The shared customer list (app/shared_customers.cpp).
    class CustomerChangeListener;
    static constexpr int kCustomerSyncDelayMs = 1000;
    void startSharedCustomers();
    void stopSharedCustomers();
    void customersChangedHere();
    std::unique_ptr<CustomerListObserver> customerListener_;
    QTimer* customerSyncTimer_ = nullptr;
    // A match the window asks for by itself (first paint, focus, a pause after typing): with no
    // connection yet, the connection is made off the window's thread and the match follows.
    void requestCustomerSync();
    bool sharedDatabaseChosen() const;
    struct StoreOpening;
    void openStoreInBackground();
    void takeOpenedStore();
    std::shared_ptr<StoreOpening> storeOpening_;
    // What this PC changed in the list since its last match, kept across a close without one.
    void rememberUnmatchedChanges();
    void recallUnmatchedChanges();
    std::vector<std::u16string> customerBase_; // the names as last matched (or loaded)
    bool customerBaseTaken_ = false;
    void takeCustomerBase();
    std::int64_t customerChangeSeen_ = -1;
    bool customerSyncFailed_ = false;
    bool matchingCustomers_ = false;
    bool customerSyncReady_ = false; // set after the first paint
};

} // namespace pyrelto
