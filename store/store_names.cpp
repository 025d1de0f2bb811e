// Words and names of the store that need no database: in a file of their own, so that a program
// that only shows them (pyrelto-cli's --offers) does not take in the engines and their libraries.
#include "store.h"

namespace pyrelto {

std::string_view offerStatusText(OfferStatus status) {
    switch (status) {
    case OfferStatus::Accepted:
        return "angenommen";
    case OfferStatus::Rejected:
        return "abgelehnt";
    case OfferStatus::Open:
        break;
    }
    return "offen";
}

std::optional<OfferStatus> offerStatusFromText(std::string_view text) {
    for (const OfferStatus status :
         {OfferStatus::Open, OfferStatus::Accepted, OfferStatus::Rejected})
        if (offerStatusText(status) == text)
            return status;
    return std::nullopt;
}

bool isPostgresUri(std::string_view uri) {
    if (uri.starts_with("postgresql://") || uri.starts_with("postgres://"))
        return true;
    // "host=… dbname=…": a keyword of letters and underscores, then "=".
    const std::size_t equals = uri.find('=');
    if (equals == std::string_view::npos || equals == 0)
        return false;
    for (const char c : uri.substr(0, equals))
        if (!((c >= 'a' && c <= 'z') || c == '_'))
            return false;
    return true;
}

} // namespace pyrelto
