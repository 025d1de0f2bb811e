#pragma once
// The headless driver: runs steps on one sheet that starts as the program starts and prints the
// sheet as JSON. Kept apart from main() so tests drive it in-process.

#include "calculation_file.h"
#include "offer.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pyrelto {

class Sheet;
class Store;

// What the options before an --offer decide about it (--tax-case, --private, --site, --period,
// --instalments, --signature-line, --acceptance-slip); the rest of the offer's choices are those
// the program starts a new offer with.
struct CliOfferOptions {
    TaxCase taxCase = TaxCase::Normal;
    bool privateCustomer = false;
    std::u16string site;
    ExecutionPeriod period;
    std::vector<int> instalments;
    bool signatureLine = false;
    bool acceptanceSlip = false;

    void applyTo(OfferChoices& choices) const;
};

// What the steps of one run share.
struct CliContext {
    Sheet& sheet;
    // What a --save writes after entry 80: the take-off and the chunks of a file opened.
    CalculationExtras& extras;
    // The store of --store, or the default store, opened when a step first asks for it, so that
    // a run that only computes never touches a database. Throws StoreError when it cannot be
    // opened (again at the next call), std::runtime_error in a build without the store.
    std::function<Store&()> store;
    CliOfferOptions offer = {};
    // The values of the options the extra steps take ("--period" → "2026-03-02..2026-03-20"),
    // wherever on the command line they stand.
    std::map<std::string, std::string, std::less<>> options = {};
};

// A step with a file argument that a build adds beyond the core's own ("--offer FILE"): the
// std-only driver knows nothing of what it does. `run` throws for a failure (the message goes to
// stderr, the other steps still run, exit 1) and writes mere warnings to `err` itself.
struct CliFileStep {
    std::string option;
    std::function<void(CliContext& context, const std::string& file, std::ostream& err)> run;
    // Options with a value that tune this step ("--period"); each may be given once.
    std::vector<std::string> valueOptions = {};
    // What --help says of the step and its options, in German.
    std::string help = {};
};

// Exit codes: 0 all steps ran, 1 a step failed (its message on `err`, the rest still ran and the
// JSON was printed), 2 the command line was malformed (nothing printed on `out`).
// `extraSteps` are accepted beside the core's steps, in the same left-to-right order. "--help"
// prints what this build reads on `out` instead and runs nothing (exit 0).
int runCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           std::span<const CliFileStep> extraSteps = {});

// The step hook: a library of steps registers them from a static object in its own file, so that
// linking it into the executable is all it takes and main() names no step. `release` runs once
// after the last step (ends what the steps set up, such as an application object). Returns true,
// for the static object to hold.
bool registerCliSteps(std::vector<CliFileStep> steps, std::function<void()> release = {});
// The steps registered so far, in the order of registration.
std::span<const CliFileStep> registeredCliSteps();
// Runs the release functions of the registered steps.
void releaseCliSteps();

// How the store is found when --store does not name one, and opened: a build with Qt registers
// the program's own choice (the store the window uses, with the one-time take-over of the old
// files); plainCliStoreAccess() is the SQLite file "pyrelto.db" in the program data folder, opened
// as it is. Without a registration no step can open a database.
struct CliStoreAccess {
    std::function<std::string()> defaultUri;
    // Warnings (a part of the old data that could not be taken over) go to `warn`.
    std::function<std::unique_ptr<Store>(const std::string& uri, std::ostream& warn)> open;
};
bool registerCliStoreAccess(CliStoreAccess access);
// The store without Qt (see above); empty in a build without the store. In a file of its own: the
// engines and their libraries come in only where this is called.
CliStoreAccess plainCliStoreAccess();

// The decimal separator of the user's locale: on Windows from the regional settings; elsewhere as
// the environment names it (LC_ALL, LC_NUMERIC, LANG), decided without the C library's locale
// tables, which may not be installed. A point where the setting cannot be used in a field.
char16_t separatorFromEnvironment();

} // namespace pyrelto
