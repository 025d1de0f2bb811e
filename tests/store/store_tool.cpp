// Drives a store from a shell, for the tests that need several processes at once:
//   pyrelto-store-tool record-offers --store URI --count N [--date YYYY-MM-DD] [--hold-ms MS]
// records N offers and prints each number on its own line as soon as it is committed. With
// --hold-ms, every recording prints "taken NUMBER" and then waits that long while it holds the
// counter locked, so that a test can kill it there.

#include "store.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

int main(int argc, char** argv) {
    using namespace pyrelto;
    std::string uri;
    std::string date = "2026-12-10";
    long count = 1;
    long holdMs = -1;
    const std::string_view command = argc > 1 ? argv[1] : "";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--store")
            uri = value;
        else if (option == "--count")
            count = std::stol(value);
        else if (option == "--date")
            date = value;
        else if (option == "--hold-ms")
            holdMs = std::stol(value);
    }
    if (command != "record-offers" || uri.empty()) {
        std::fputs("usage: pyrelto-store-tool record-offers --store URI --count N "
                   "[--date YYYY-MM-DD] [--hold-ms MS]\n",
                   stderr);
        return 2;
    }
    try {
        StoreHooks hooks;
        if (holdMs >= 0)
            hooks.numberTaken = [holdMs](const std::string& number) {
                std::printf("taken %s\n", number.c_str());
                std::fflush(stdout);
                std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            };
        const auto store = openStore(uri, hooks);
        for (long i = 0; i < count; ++i) {
            OfferEntry entry;
            entry.date = date;
            entry.validUntil = date;
            entry.customer = "Kunde " + std::to_string(i);
            entry.address = "Weg " + std::to_string(i);
            entry.netCents = 10000 + i;
            entry.vatCents = 1900;
            entry.grossCents = entry.netCents + entry.vatCents;
            entry.calculation = std::string("kal\0bytes", 9);
            std::printf("%s\n", store->recordOffer(entry).c_str());
            std::fflush(stdout);
        }
    } catch (const StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
