// Drives a store from a shell, for the tests that need several processes at once:
//   pyrelto-store-tool record-offers --store URI --count N [--date YYYY-MM-DD] [--hold-ms MS]
//   pyrelto-store-tool issue-invoices --store URI --count N [--date YYYY-MM-DD] [--hold-ms MS]
// records N offers or issues N invoices and prints each number on its own line as soon as it is
// committed. With --hold-ms, every recording prints "taken NUMBER" and then waits that long while
// it holds the counter locked (an invoice: while its documents are being made), so that a test
// can kill it there. An invoice's XML is the real e-invoice under its number; its PDF is a stand-in
// that names the number, since this tool links no Qt.

#include "store.h"
#include "xrechnung.h"

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
    if ((command != "record-offers" && command != "issue-invoices") || uri.empty()) {
        std::fputs("usage: pyrelto-store-tool record-offers|issue-invoices --store URI --count N "
                   "[--date YYYY-MM-DD] [--hold-ms MS]\n",
                   stderr);
        return 2;
    }
    const auto hold = [holdMs](const std::string& number) {
        std::printf("taken %s\n", number.c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    };
    try {
        StoreHooks hooks;
        if (holdMs >= 0 && command == "record-offers")
            hooks.numberTaken = hold;
        const auto store = openStore(uri, hooks);
        for (long i = 0; command == "issue-invoices" && i < count; ++i) {
            Invoice invoice;
            invoice.issueDate = *parseIsoDate(date);
            invoice.periodStart = invoice.issueDate;
            invoice.periodEnd = invoice.issueDate;
            invoice.offerNumber = "2026-001";
            invoice.seller = {"Dachdeckerei Test",
                              {{"Werkstraße 5"}, "12345", "Musterstadt", "DE"},
                              "DE123456789",
                              "",
                              "Eva Test",
                              "+49 1234 5678",
                              "rechnung@dach.example"};
            invoice.buyer.name = "Kunde " + std::to_string(i);
            invoice.buyer.address = {{"Weg " + std::to_string(i)}, "54321", "Nordhafen", "DE"};
            invoice.buyer.email = "kunde@example.org";
            invoice.bank.iban = "DE02120300000000202051";
            invoice.lines.push_back({"Abdichtung", 10000 + i, "MTK", Money::fromCents(3890), 1900,
                                     Money::fromCents(0)});
            const std::string number = store->issueInvoice(
                invoiceEntryOf(invoice, std::string("kal\0bytes", 9)),
                [&](const std::string& taken) {
                    if (holdMs >= 0)
                        hold(taken);
                    invoice.number = taken;
                    return InvoiceDocuments{"invoice " + taken, "%PDF-stand-in " + taken,
                                            xrechnungXml(invoice)};
                });
            std::printf("%s\n", number.c_str());
            std::fflush(stdout);
        }
        for (long i = 0; command == "record-offers" && i < count; ++i) {
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
