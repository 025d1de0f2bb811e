// The window with a long customer list, timed on a stopwatch: the first paint, opening the
// KundeEd drop-down, and a new, a renamed and a deleted customer each until both views have
// painted. For every list size it prints the median of REPEATS runs in milliseconds.
//
//   pyrelto_customer_list_timing [REPEATS] [SIZE]...      (default: 5 1000 10000 200000)
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise; it points HOME and the
// XDG folders at a temporary folder of its own.

#include "MainUnit.h"
#include "application.h"
#include "customer_file.h"
#include "customer_tab.h"
#include "sample_customer_names.h"
#include "sheet_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define PYRELTO_CALLGRIND 1
#endif

namespace {

using pyrelto::TMainForm;

// Lets every pending layout and paint happen.
void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The action and every layout and paint it causes. Under callgrind each one is dumped on its own
// (customer_list_instructions.sh reads the dumps); elsewhere the markers do nothing.
double timed(const char* what, int names, const std::function<void()>& action) {
#ifdef PYRELTO_CALLGRIND
    CALLGRIND_ZERO_STATS;
#endif
    QElapsedTimer t;
    t.start();
    action();
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
#ifdef PYRELTO_CALLGRIND
    CALLGRIND_DUMP_STATS_AT(qPrintable(QString::fromLatin1(what) + u' ' + QString::number(names)));
#else
    (void)what;
    (void)names;
#endif
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    std::vector<double> firstPaint, dropDown, added, renamed, deleted;
};

void runOnce(Figures& f, int n) {
    double paint = 0;
    std::unique_ptr<TMainForm> form;
    paint = timed("first-paint", n, [&] {
        form = std::make_unique<TMainForm>();
        form->show();
        settle();
    });
    f.firstPaint.push_back(paint);
    pyrelto::CustomerTab& tab = *form->customerTab();
    pyrelto::CustomerList& list = tab.list();
    QComboBox* combo = form->ScrollBox1->kundeEd();

    f.dropDown.push_back(timed("drop-down", n, [&] {
        combo->showPopup();
        settle();
    }));
    combo->hidePopup();
    settle();

    form->PageControl1->setCurrentIndex(1);
    settle();
    const int middle = list.count() / 2;
    // What committing the in-place editor of "Neuer Kunde" does to the list.
    f.added.push_back(timed("new", n, [&] {
        list.setName(list.append(), u"Mittelstein Bedachungen");
        settle();
    }));
    f.renamed.push_back(timed("rename", n, [&] {
        list.setName(middle, u"Aaron Dachbau");
        settle();
    }));
    f.deleted.push_back(timed("delete", n, [&] {
        list.remove(middle);
        settle();
    }));
    form->PageControl1->setCurrentIndex(0);
    settle();
    // No save at the end: the next run starts from the same file.
    form->hide();
    form.reset();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    pyrelto::setUpApplication(app);

    QStringList args = QApplication::arguments();
    args.removeFirst();
    const int repeats = args.isEmpty() ? 5 : std::max(1, args.takeFirst().toInt());
    std::vector<int> sizes;
    for (const QString& a : args)
        sizes.push_back(a.toInt());
    if (sizes.empty())
        sizes = {1000, 10000, 200000};

    const std::u16string folder = pyrelto::GetProgramDir(true);
    const std::u16string file = folder + std::u16string(pyrelto::kCustomerFileName);
    std::printf("%9s %12s %12s %12s %12s %12s   (median of %d, ms)\n", "names", "first paint",
                "drop-down", "new", "rename", "delete", repeats);
    for (const int n : sizes) {
        auto names = pyrelto::sampleCustomerNames(n);
        std::sort(names.begin(), names.end());
        pyrelto::writeCustomerFile(file, names, false);
        Figures f;
        for (int r = 0; r < repeats; ++r)
            runOnce(f, n);
        std::printf("%9d %12.2f %12.2f %12.2f %12.2f %12.2f\n", n, median(f.firstPaint),
                    median(f.dropDown), median(f.added), median(f.renamed), median(f.deleted));
        std::fflush(stdout);
    }
    return 0;
}
