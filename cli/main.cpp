#include "cli.h"
#include "utf16.h"

#ifdef PYRELTO_CLI_MODULE_DIR
#include "cli_module.h"
#endif

#include <iostream>
#include <string>
#include <vector>

namespace {

// A build with Qt offers the steps of its module, which is loaded only when one of them runs (the
// database too is opened through it); what they set up is released before exit.
int runSteps(const std::vector<std::string>& args) {
#ifdef PYRELTO_CLI_MODULE_DIR
    static pyrelto::CliModuleLoader loader(pyrelto::cliModuleCandidates(PYRELTO_CLI_MODULE_DIR));
    pyrelto::registerCliSteps(loader.steps(), [] { loader.release(); });
    pyrelto::registerCliStoreAccess(loader.storeAccess());
#else
    pyrelto::registerCliStoreAccess(pyrelto::plainCliStoreAccess());
#endif
    const int status = pyrelto::runCli(args, std::cout, std::cerr, pyrelto::registeredCliSteps());
    pyrelto::releaseCliSteps();
    return status;
}

} // namespace

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// The command line in UTF-16, so that no character is lost to the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    const std::vector<std::string> args = pyrelto::utf8Arguments(argc, argv);
    // The JSON leaves as UTF-8 with "\n" line ends, byte for byte as on other systems: no text
    // mode translation. A console is told to show those bytes as UTF-8.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR) {
        ::SetConsoleOutputCP(CP_UTF8);
    }
    return runSteps(args);
}
#else
int main(int argc, char** argv) {
    return runSteps(pyrelto::utf8Arguments(argc, argv));
}
#endif
