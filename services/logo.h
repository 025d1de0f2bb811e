#pragma once
// The firm's logo: checked when it is chosen, and kept as a copy in the program data folder so
// that the documents still find it when the original is moved.

#include <QString>

namespace pyrelto {

// Empty when `path` names a picture the offer can show (PNG, JPEG, SVG); otherwise the German
// message for the user.
QString logoProblem(const QString& path);

// Copies the picture into the program data folder ("logo.png", "logo.jpg" or "logo.svg") and
// returns the copy's name. Throws ServiceError with the German message when the picture is
// unusable or cannot be copied.
QString copyLogo(const QString& source);

} // namespace pyrelto
