#include "cli_module.h"

#ifdef PYRELTO_STORE
#include "store.h"
#endif

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace pyrelto {

namespace {

// A path for a message, in UTF-8 on every system.
std::string utf8Name(const std::filesystem::path& path) {
    const auto name = path.u8string();
    return std::string(name.begin(), name.end());
}

#ifdef _WIN32
std::string lastLoadError() {
    return "Windows-Fehler " + std::to_string(::GetLastError());
}
#else
std::string lastLoadError() {
    const char* text = ::dlerror();
    return text != nullptr ? std::string(text) : std::string("unbekannter Fehler");
}
#endif

// The module's entry, or nullptr with `reason` set. The library stays loaded.
CliModuleEntry loadEntry(const std::filesystem::path& file, std::string& reason) {
#ifdef _WIN32
    // Its Qt libraries are searched beside the module, not in the current folder.
    HMODULE library = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        reason = lastLoadError();
        return nullptr;
    }
    const FARPROC symbol = ::GetProcAddress(library, kCliModuleEntry);
#else
    // Lazy: binding every symbol of Qt's libraries up front costs a PDF run 4 % more
    // instructions. A library that is missing still fails here; the module is linked with
    // --no-undefined, so each of its symbols has a library that provides it.
    void* library = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        reason = lastLoadError();
        // dlerror() starts with the file's name, which the message already gives.
        if (const std::string prefix = file.native() + ": "; reason.starts_with(prefix))
            reason.erase(0, prefix.size());
        return nullptr;
    }
    void* symbol = ::dlsym(library, kCliModuleEntry);
#endif
    if (symbol == nullptr) {
        reason = "der Einsprungpunkt fehlt";
        return nullptr;
    }
#ifdef _WIN32
    // Through the generic function type, which the compiler accepts as a cast between kinds.
    return reinterpret_cast<CliModuleEntry>(reinterpret_cast<void (*)()>(symbol));
#else
    return reinterpret_cast<CliModuleEntry>(symbol);
#endif
}

std::filesystem::path executablePath() {
#ifdef _WIN32
    std::wstring name(1024, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            return name;
        }
        name.resize(name.size() * 2);
    }
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
#endif
}

} // namespace

std::vector<CliFileStep> cliModuleStepOptions() {
    return {
        {"--offer",
         {},
         {},
         "Schreibt das Angebot der Kalkulation als PDF-Datei und verzeichnet es mit der nächsten "
         "Nummer im Angebotsbuch der Datenbank; Briefkopf und Logo aus den Firmendaten. Davor "
         "stehende Angebotsoptionen (--tax-case, --private, --site, --period, --instalments, "
         "--signature-line, --acceptance-slip) gelten für die folgenden Angebote."},
        {"--calculation-pdf",
         {},
         {},
         "Schreibt die Kalkulation als PDF-Datei, wie das Programm sie druckt, mit den Seiten des "
         "Aufmaßes dahinter."},
        {"--invoice",
         {},
         {"--xrechnung", "--address", "--period", "--tax-case", "--vat-id", "--buyer-reference",
          "--buyer-email", "--kind", "--customer", "--quantity"},
         "Stellt eine Rechnung aus, schreibt sie als PDF-Datei und verzeichnet sie im "
         "Rechnungsbuch. Dazu, je einmal und an beliebiger Stelle: --kind invoice|final|"
         "partial:PROZENT|partial-amount:BETRAG|credit:RECHNUNGSNUMMER, --quantity M2, "
         "--period JJJJ-MM-TT..JJJJ-MM-TT (Leistungszeitraum), --tax-case normal|13b|19, "
         "--customer private|business, --address \"ZEILE|ZEILE\", --vat-id ID, "
         "--buyer-reference TEXT, --buyer-email ADRESSE, --xrechnung DATEI (die Rechnung "
         "zusätzlich als XRechnung-XML)."},
    };
}

CliModuleLoader::CliModuleLoader(std::vector<std::filesystem::path> candidates)
    : candidates_(std::move(candidates)) {}

const CliModule& CliModuleLoader::module() {
    if (module_ != nullptr)
        return *module_;
    if (!failure_) {
        std::string reasons;
        for (const auto& file : candidates_) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(file, error))
                continue;
            std::string reason;
            if (const CliModuleEntry entry = loadEntry(file, reason)) {
                module_ = entry(kCliModuleInterface);
                if (module_ != nullptr)
                    return *module_;
                reason = "er gehört zu einer anderen Version des Programms";
            }
            reasons += "\n  ";
            reasons += utf8Name(file);
            reasons += ": " + reason;
        }
        std::string text = "Der Programmteil für PDF-Dateien und die Datenbank (" +
                           utf8Name(cliModuleFileName()) + ") ";
        text += reasons.empty() ? "ist nicht installiert." : "lässt sich nicht laden:" + reasons;
        text += "\nBitte installieren Sie Pyrelto Kalkulation neu.";
        failure_ = std::move(text);
    }
    throw std::runtime_error(*failure_);
}

std::vector<CliFileStep> CliModuleLoader::steps() {
    std::vector<CliFileStep> steps = cliModuleStepOptions();
    for (CliFileStep& step : steps) {
        step.run = [this, option = step.option](CliContext& context, const std::string& file,
                                                std::ostream& err) {
            const auto& loaded = module().steps;
            const auto found =
                std::find_if(loaded.begin(), loaded.end(),
                             [&option](const CliFileStep& s) { return s.option == option; });
            if (found == loaded.end() || !found->run)
                throw std::runtime_error("Der Programmteil " + utf8Name(cliModuleFileName()) +
                                         " kennt den Schritt " + option + " nicht.");
            found->run(context, file, err);
        };
    }
    return steps;
}

CliStoreAccess CliModuleLoader::storeAccess() {
#ifndef PYRELTO_STORE
    // Without the store there is no database to find.
    return {};
#else
    return {[this] { return module().storeAccess.defaultUri(); },
            [this](const std::string& uri, std::ostream& warn) {
                return module().storeAccess.open(uri, warn);
            }};
#endif
}

void CliModuleLoader::release() {
    if (module_ != nullptr && module_->release)
        module_->release();
}

std::filesystem::path cliModuleFileName() {
#ifdef _WIN32
    return "pyrelto-cli-qt.dll";
#else
    return "pyrelto-cli-qt.so";
#endif
}

std::vector<std::filesystem::path> cliModuleCandidates(const std::string& relativeDir) {
    const std::filesystem::path executable = executablePath();
    if (executable.empty())
        return {};
    const std::filesystem::path dir = executable.parent_path();
    std::vector<std::filesystem::path> candidates{dir / cliModuleFileName()};
    if (!relativeDir.empty())
        candidates.push_back((dir / std::filesystem::path(relativeDir)).lexically_normal() /
                             cliModuleFileName());
    return candidates;
}

} // namespace pyrelto
