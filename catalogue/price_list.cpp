#include "price_list.h"

namespace pyrelto {

const char* encodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Ascii:
        return "ASCII";
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Windows1252:
        return "Windows-1252";
    case TextEncoding::Cp850:
        return "CP850";
    }
    return "?";
}

void reportProblem(std::vector<ImportProblem>& problems, std::size_t line, std::string reason) {
    if (problems.size() < kMaxReportedProblems) {
        problems.push_back({line, std::move(reason)});
    } else if (problems.size() == kMaxReportedProblems) {
        problems.push_back({line, "Weitere Fehler ab hier nicht mehr einzeln aufgeführt."});
    }
}

} // namespace pyrelto
