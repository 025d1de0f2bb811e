#pragma once
// The steps that need Qt (the PDF steps, and the program's own way to find its database) live in
// a module of their own, pyrelto-cli-qt, loaded when the first of them runs: a run that only
// computes then never maps a Qt library, which otherwise costs the start more than the whole run.
// The driver knows the module's steps and options itself, so that it reads the command line and
// gives --help without loading anything.

#include "cli.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pyrelto {

// What the module hands the driver. Driver and module come from one build (one compiler, one
// standard library), so C++ types cross; the interface number refuses a module of another build
// whose layout may differ.
struct CliModule {
    std::vector<CliFileStep> steps;
    CliStoreAccess storeAccess;
    std::function<void()> release;
};
inline constexpr int kCliModuleInterface = 1;
// The module exports `extern "C" const CliModule* pyreltoCliModule(int interface)`, which gives
// nullptr for an interface it was not built for.
inline constexpr const char* kCliModuleEntry = "pyreltoCliModule";
using CliModuleEntry = const CliModule* (*)(int);

// The module's steps as the driver reads them: names, value options and help, without `run`.
// The module fills in `run` for the same list, so the two never disagree.
std::vector<CliFileStep> cliModuleStepOptions();

// Finds and loads the module on first use. A module that is missing, cannot be loaded or is of
// another build makes each step that needs it fail with a German message (exit 1), never a crash.
class CliModuleLoader {
public:
    // The places to look, first found wins.
    explicit CliModuleLoader(std::vector<std::filesystem::path> candidates);

    // The module's steps, each loading the module when it runs.
    std::vector<CliFileStep> steps();
    // The store access of the module, loading it when first asked.
    CliStoreAccess storeAccess();
    // Ends what the module set up, if it was loaded. The module stays mapped until exit: Qt does
    // not take kindly to being unloaded.
    void release();

    // The module, loaded on first call; throws std::runtime_error with a German message.
    const CliModule& module();

private:
    std::vector<std::filesystem::path> candidates_;
    const CliModule* module_ = nullptr;
    std::optional<std::string> failure_;
};

// Where this build looks for the module: beside the executable (the build tree, Windows), then in
// the program's private library folder relative to it (`relativeDir`, the installed layout).
std::vector<std::filesystem::path> cliModuleCandidates(const std::string& relativeDir);

// The file name of the module on this system ("pyrelto-cli-qt.so", "pyrelto-cli-qt.dll").
std::filesystem::path cliModuleFileName();

} // namespace pyrelto
