#include "cli.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef PYRELTO_CLI_QT_STEPS
#include "cli_qt_steps.h"
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef PYRELTO_CLI_QT_STEPS
    const auto extra = pyrelto::qtCliSteps();
    const int status = pyrelto::runCli(args, std::cout, std::cerr, extra);
    pyrelto::releaseCliApplication();
    return status;
#else
    return pyrelto::runCli(args, std::cout, std::cerr);
#endif
}
