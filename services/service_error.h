#pragma once
// A service that could not do what was asked (a logo that cannot be used or copied). The message
// is German and is meant to be shown to the user as it is.

#include <QString>
#include <stdexcept>

namespace pyrelto {

class ServiceError : public std::runtime_error {
public:
    explicit ServiceError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    QString message() const { return message_; }

private:
    QString message_;
};

} // namespace pyrelto
