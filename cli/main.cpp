#include "cli.h"
#include "utf16.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef PYRELTO_CLI_QT_STEPS
#include "cli_qt_steps.h"
#endif

namespace {

// The PDF steps exist only in builds with Qt; their application is released before exit.
int runSteps(const std::vector<std::string>& args) {
#ifdef PYRELTO_CLI_QT_STEPS
    const auto extra = pyrelto::qtCliSteps();
    const int status = pyrelto::runCli(args, std::cout, std::cerr, extra);
    pyrelto::releaseCliApplication();
    return status;
#else
    return pyrelto::runCli(args, std::cout, std::cerr);
#endif
}

} // namespace

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Windows hands the command line over in UTF-16; the narrow main() would get it squeezed through
// the ANSI code page, which turns "Müller" into "M?ller" and loses every character outside it.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(pyrelto::toUtf8(std::u16string(arg.begin(), arg.end())));
    }
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
    const std::vector<std::string> args(argv + 1, argv + argc);
    return runSteps(args);
}
#endif
