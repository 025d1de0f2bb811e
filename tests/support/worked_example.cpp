#include "worked_example.h"

#include "sheet.h"
#include "utf16.h"

#include <algorithm>
#include <stdexcept>

namespace pyrelto::test {

std::u16string_view workedExampleShown(FieldId field) {
    const auto row = std::find_if(workedExample.begin(), workedExample.end(),
                                  [field](const WorkedExampleRow& r) { return r.field == field; });
    if (row == workedExample.end()) {
        throw std::invalid_argument("not a field of the worked example");
    }
    return row->shown;
}

std::u16string withSeparator(std::u16string_view text, char16_t separator) {
    std::u16string out(text);
    std::replace(out.begin(), out.end(), u',', separator);
    return out;
}

void enterWorkedExample(Sheet& sheet) {
    const char16_t separator = sheet.numberFormat().decimalSeparator;
    for (const auto& row : workedExample) {
        if (!row.typed.empty()) {
            sheet.enter(row.field, withSeparator(row.typed, separator));
        }
    }
}

std::vector<std::string> workedExampleArguments(char separator) {
    std::vector<std::string> arguments{std::string("--separator=") + separator};
    for (const auto& row : workedExample) {
        if (!row.typed.empty()) {
            arguments.push_back(std::string(fieldInfo(row.field).name) + '=' +
                                toUtf8(withSeparator(row.typed, static_cast<char16_t>(separator))));
        }
    }
    return arguments;
}

} // namespace pyrelto::test
