#pragma once
// The two messages a calculation or preset file operation gives the user in a plain error box,
// as opposed to the transfer failures (IoError) that go to the standard error report.

#include <stdexcept>
#include <string>

namespace pyrelto {

class FileMessage : public std::runtime_error {
public:
    // what() is the message in UTF-8.
    explicit FileMessage(const std::string& text) : std::runtime_error(text) {}

    static FileMessage cannotCreate() { return FileMessage("Konnte die Datei nicht anlegen."); }
    // The same message with the reason below it, where the program knows one.
    static FileMessage cannotCreate(const std::string& reason) {
        return FileMessage("Konnte die Datei nicht anlegen.\n" + reason);
    }
    static FileMessage cannotOpen() { return FileMessage("Konnte die Datei nicht öffnen."); }
};

} // namespace pyrelto
