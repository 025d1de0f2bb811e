// Writes the table of sample invoices as XRechnung files into a folder, for the validator.
// Usage: einvoice-samples FOLDER

#include "sample_invoices.h"
#include "xrechnung.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: einvoice-samples FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    int written = 0;
    for (const auto& sample : pyrelto::sampleInvoices()) {
        std::ofstream out(folder / (sample.name + ".xml"), std::ios::binary);
        out << pyrelto::xrechnungXml(sample.invoice);
        out.close();
        if (!out) {
            std::cerr << sample.name << ": could not write\n";
            return 1;
        }
        ++written;
    }
    std::cout << written << " invoices written to " << folder.string() << "\n";
    return 0;
}
