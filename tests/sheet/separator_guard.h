#pragma once
#include "decimal_text.h"

namespace pyrelto::test {

// Sets the process-wide decimal separator for one test and puts the old one back.
class SeparatorGuard {
public:
    explicit SeparatorGuard(char16_t separator) : old_(decimalSeparator()) {
        setDecimalSeparator(separator);
    }
    ~SeparatorGuard() { setDecimalSeparator(old_); }
    SeparatorGuard(const SeparatorGuard&) = delete;
    SeparatorGuard& operator=(const SeparatorGuard&) = delete;

private:
    char16_t old_;
};

} // namespace pyrelto::test
