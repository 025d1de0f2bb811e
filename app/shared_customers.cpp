// The customer list of a shared database: every PC of the firm sees the others' customers. The list
// stays the tab's own (and options.dat its local copy, written at close as always); it is matched
// with the database's at a few moments rather than over a held notification channel: after the
// first paint, when the window becomes active, when the customer page is shown, a moment after
// the user changed a name, and at close. A refresh on focus needs no second connection per PC and
// no server push; a colleague's change appears the next time this PC's user turns to the window.
// A match the window starts by itself connects off its own thread: a server that drops packets
// would otherwise freeze the window for the connect timeout.

#include "MainUnit.h"
#include "customer_merge.h"
#include "customer_tab.h"
#include "program_store.h"
#include "qt_text.h"
#include "settings_store.h"
#include "store.h"

#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

namespace pyrelto {

namespace {

// Which database this PC's list was last matched with: its first match unites the two lists
// instead of taking the database's as the other side's deletions.
constexpr auto kCustomerSyncGroup = u"Kundenliste";
constexpr auto kMatchedWith = u"AbgeglichenMit";
// The names added and deleted here since the last match, one a line, when the window closed without
// one: without them the next match would take this PC's new names for the others' deletions.
constexpr auto kAddedSinceMatch = u"NeuSeitAbgleich";
constexpr auto kDeletedSinceMatch = u"GeloeschtSeitAbgleich";
constexpr int kOpeningPollMs = 20;

std::u16string joinedLines(const std::vector<std::u16string>& names) {
    std::u16string text;
    for (const std::u16string& name : names) {
        if (name.find(u'\n') != std::u16string::npos)
            continue; // not one line: such a name is matched as before
        if (!text.empty())
            text += u'\n';
        text += name;
    }
    return text;
}

std::set<std::u16string> splitLines(const std::u16string& text) {
    std::set<std::u16string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos)
            end = text.size();
        if (end > start)
            names.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The distinct names that are not empty: the database holds a set, and an empty entry is a name
// still to be typed.
std::vector<std::u16string> nameSet(const std::vector<std::u16string>& names) {
    const std::set<std::u16string> distinct(names.begin(), names.end());
    std::vector<std::u16string> result;
    for (const std::u16string& name : distinct)
        if (!name.empty())
            result.push_back(name);
    return result;
}

} // namespace

// Filled by the connecting thread, read by the window's; either may be gone first.
struct TMainForm::StoreOpening {
    std::mutex mutex;
    bool done = false;
    std::unique_ptr<Store> store;
    std::string uri;
};

class TMainForm::CustomerChangeListener final : public CustomerListObserver {
public:
    explicit CustomerChangeListener(TMainForm& form) : form_(form) {}
    void entryChanged(int) override { form_.customersChangedHere(); }
    void removed(int) override { form_.customersChangedHere(); }
    void cleared() override { form_.customersChangedHere(); }

private:
    TMainForm& form_;
};

void TMainForm::startSharedCustomers() {
    customerListener_ = std::make_unique<CustomerChangeListener>(*this);
    customerTab_->list().addObserver(customerListener_.get());
    customerSyncTimer_ = new QTimer(this);
    customerSyncTimer_->setSingleShot(true);
    customerSyncTimer_->setInterval(kCustomerSyncDelayMs);
    connect(customerSyncTimer_, &QTimer::timeout, this, [this] { requestCustomerSync(); });
    // The base of the three-way match is a copy of the whole list: made only where there is a
    // server to match with (or when one is chosen later), not for every start with a long list.
    if (sharedDatabaseChosen())
        takeCustomerBase();
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (PageControl1->currentWidget() == TabSheet2)
            requestCustomerSync();
    });
    // After the first paint: a server that does not answer never holds the window back. Until
    // then no focus change or page switch asks the database either.
    QTimer::singleShot(kCustomerSyncDelayMs / 10, this, [this] {
        customerSyncReady_ = true;
        requestCustomerSync();
    });
}

void TMainForm::takeCustomerBase() {
    customerBase_ = customerTab_->list().names();
    customerBaseTaken_ = true;
    recallUnmatchedChanges();
}

bool TMainForm::sharedDatabaseChosen() const {
    return readDatabaseChoice(*programSettings(toQString(kDatabaseGroup))).server;
}

void TMainForm::requestCustomerSync() {
    if (!store_ && customerSyncReady_ && !customerSyncFailed_ && !storeOpening_ &&
        sharedDatabaseChosen()) {
        openStoreInBackground();
        return;
    }
    syncSharedCustomers();
}

void TMainForm::openStoreInBackground() {
    auto opening = std::make_shared<StoreOpening>();
    opening->uri = programStoreUri();
    storeOpening_ = opening;
    // Detached: a window closed meanwhile does not wait for the server's answer; the connection
    // made too late is closed by the thread's last reference.
    std::thread([opening] {
        std::unique_ptr<Store> store;
        try {
            store = openStore(opening->uri);
        } catch (const std::exception&) {
            // Unreachable: the window learns it from the missing connection.
        }
        const std::scoped_lock lock(opening->mutex);
        opening->store = std::move(store);
        opening->done = true;
    }).detach();
    auto* poll = new QTimer(this);
    poll->setInterval(kOpeningPollMs);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        {
            const std::scoped_lock lock(storeOpening_->mutex);
            if (!storeOpening_->done)
                return;
        }
        poll->stop();
        poll->deleteLater();
        takeOpenedStore();
    });
    poll->start();
}

void TMainForm::takeOpenedStore() {
    std::unique_ptr<Store> opened;
    std::string uri;
    {
        const std::scoped_lock lock(storeOpening_->mutex);
        opened = std::move(storeOpening_->store);
        uri = storeOpening_->uri;
    }
    storeOpening_.reset();
    // A command may have connected meanwhile, or the user chosen another database.
    if (store_ || uri != programStoreUri())
        return;
    if (!opened) {
        customerSyncFailed_ = true;
        rememberUnmatchedChanges();
        return;
    }
    try {
        QString warning; // a damaged old address file is told when a command opens the database
        store_ = adoptProgramStore(std::move(opened), &warning);
    } catch (const std::exception&) {
        customerSyncFailed_ = true;
        rememberUnmatchedChanges();
        return;
    }
    syncSharedCustomers();
}

void TMainForm::rememberUnmatchedChanges() {
    if (!customerBaseTaken_ || !sharedDatabaseChosen())
        return;
    const std::vector<std::u16string> ours = nameSet(customerTab_->list().names());
    const std::vector<std::u16string> base = nameSet(customerBase_);
    std::vector<std::u16string> added;
    std::vector<std::u16string> deleted;
    std::set_difference(ours.begin(), ours.end(), base.begin(), base.end(),
                        std::back_inserter(added));
    std::set_difference(base.begin(), base.end(), ours.begin(), ours.end(),
                        std::back_inserter(deleted));
    const auto settings = programSettings(toQString(kCustomerSyncGroup));
    if (settings->readString(kAddedSinceMatch).value_or(std::u16string()) == joinedLines(added) &&
        settings->readString(kDeletedSinceMatch).value_or(std::u16string()) == joinedLines(deleted))
        return;
    settings->writeString(kAddedSinceMatch, joinedLines(added));
    settings->writeString(kDeletedSinceMatch, joinedLines(deleted));
    settings->commit();
}

void TMainForm::recallUnmatchedChanges() {
    const auto settings = programSettings(toQString(kCustomerSyncGroup));
    const auto added = splitLines(settings->readString(kAddedSinceMatch).value_or(u""));
    const auto deleted = splitLines(settings->readString(kDeletedSinceMatch).value_or(u""));
    if (added.empty() && deleted.empty())
        return;
    std::vector<std::u16string> base;
    for (const std::u16string& name : customerBase_)
        if (!added.contains(name))
            base.push_back(name);
    base.insert(base.end(), deleted.begin(), deleted.end());
    customerBase_ = std::move(base);
}

void TMainForm::stopSharedCustomers() {
    if (customerListener_)
        customerTab_->list().removeObserver(customerListener_.get());
}

void TMainForm::customersChangedHere() {
    if (!matchingCustomers_ && customerSyncTimer_ != nullptr)
        customerSyncTimer_->start();
}

bool TMainForm::syncSharedCustomers() {
    if (matchingCustomers_ || !customerSyncReady_ || storeOpening_)
        return false; // a connection being made runs the match when it is there
    const auto choiceSettings = programSettings(toQString(kDatabaseGroup));
    if (!readDatabaseChoice(*choiceSettings).server)
        return false; // this PC's own database: the list is the file's alone, as always
    // Chosen since the start: the list as it is now is where this PC's changes are counted from,
    // as if the program had started with the server chosen.
    if (!customerBaseTaken_)
        takeCustomerBase();
    // A server that could not be reached is not asked again on every focus change (each attempt
    // waits for the connect timeout); a command that opens the database again resumes it.
    if (!store_ && customerSyncFailed_)
        return false;
    // A name being typed in the list's editor is not pulled from under the user: later.
    if (customerTab_->isEditing()) {
        customerSyncTimer_->start();
        return false;
    }
    matchingCustomers_ = true;
    bool changedHere = false;
    try {
        Store& store = programStore();
        const std::string uri = programStoreUri();
        const auto syncSettings = programSettings(toQString(kCustomerSyncGroup));
        const bool matchedBefore =
            syncSettings->readString(kMatchedWith).value_or(std::u16string()) ==
            QString::fromStdString(uri).toStdU16String();
        const std::vector<std::u16string> ours = customerTab_->list().names();
        const CustomerNames stored = store.customers();
        if (!(matchedBefore && stored.change == customerChangeSeen_ && ours == customerBase_)) {
            std::vector<std::u16string> theirs;
            for (const std::string& name : stored.names)
                theirs.push_back(QString::fromStdString(name).toStdU16String());
            const std::vector<std::u16string> base =
                matchedBefore ? nameSet(customerBase_) : std::vector<std::u16string>{};
            const std::vector<std::u16string> merged =
                nameSet(mergeCustomerNames(base, nameSet(ours), theirs));
            const std::set<std::u16string> want(merged.begin(), merged.end());
            const std::set<std::u16string> have(theirs.begin(), theirs.end());
            bool wrote = false;
            for (const std::u16string& name : want)
                if (!have.contains(name))
                    wrote = store.addCustomer(toQString(name).toStdString()) || wrote;
            for (const std::u16string& name : have)
                if (!want.contains(name))
                    wrote = store.removeCustomer(toQString(name).toStdString()) || wrote;
            if (merged != nameSet(ours)) {
                // The names typed here that are still empty stay, as the user left them.
                std::vector<std::u16string> shown = merged;
                for (const std::u16string& name : ours)
                    if (name.empty())
                        shown.push_back(name);
                customerTab_->list().assign(std::move(shown));
                changedHere = true;
            }
            customerBase_ = customerTab_->list().names();
            // After writing, another PC may have changed the list in between: the next match
            // compares names again instead of trusting the counter.
            customerChangeSeen_ = wrote ? -1 : stored.change;
            if (!matchedBefore) {
                syncSettings->writeString(kMatchedWith,
                                          QString::fromStdString(uri).toStdU16String());
                syncSettings->commit();
            }
        }
        customerSyncFailed_ = false;
        rememberUnmatchedChanges();
    } catch (const std::exception&) {
        // Unreachable now: the list goes on as this PC's own, and the features that need the
        // database say why when they are used.
        customerSyncFailed_ = true;
        rememberUnmatchedChanges();
    }
    matchingCustomers_ = false;
    return changedHere;
}

} // namespace pyrelto
