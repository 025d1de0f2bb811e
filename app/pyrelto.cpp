#include "application.h"

int main(int argc, char** argv) {
    return pyrelto::runPyrelto(argc, argv);
}
