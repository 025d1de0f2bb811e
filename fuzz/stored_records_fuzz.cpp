// Any bytes as the JSON the register keeps beside an invoice or an offer (the database is a file
// on the PC, or a server anyone on the network may write to): read without a crash or leak, and
// what is read comes back unchanged when written and read again. The first byte picks the reader.

#include "invoice_data.h"
#include "offer_particulars.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        if (data[0] & 1) {
            const std::string written = invoiceDataJson(invoiceFromData(text));
            if (invoiceDataJson(invoiceFromData(written)) != written)
                std::abort();
        } else {
            OfferChoices choices;
            readOfferParticulars(text, choices);
            const std::string written = offerParticularsJson(choices);
            OfferChoices again;
            readOfferParticulars(written, again);
            if (offerParticularsJson(again) != written)
                std::abort();
        }
    } catch (const std::runtime_error&) {
        // Refused with its German message: what the register shows.
    }
    return 0;
}
