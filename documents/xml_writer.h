#pragma once
// A minimal XML writer for the e-invoice: elements, attributes and text, always well-formed UTF-8.
// Our own rather than a library's because the std-only targets are also cross-built for Windows,
// where no Debian XML library exists, and because every text goes through xmlSafeText first:
// user text may hold characters XML 1.0 cannot carry at all (NUL and most C0 controls), which a
// library writer would escape into a character reference that is itself invalid.

#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// `text` as XML 1.0 can carry it: malformed UTF-8, surrogates, U+FFFE/U+FFFF and C0 controls
// other than tab, line feed and carriage return each become U+FFFD; nothing is dropped silently,
// so a reader sees that something stood there.
std::string xmlSafeText(std::string_view text);

// `text` made safe and escaped for element content or a double-quoted attribute value. Carriage
// returns and tabs are written as references so that a reader's normalisation leaves them alone;
// attribute values also get their line feeds as references.
std::string xmlEscaped(std::string_view text);

class XmlWriter {
public:
    XmlWriter();

    void open(std::string_view name,
              const std::vector<std::pair<std::string_view, std::string>>& attributes = {});
    void close();
    // <name attributes...>text</name> in one step.
    void element(std::string_view name, std::string_view text,
                 const std::vector<std::pair<std::string_view, std::string>>& attributes = {});

    // The document; every element opened must have been closed.
    const std::string& finish();

private:
    void indent();

    std::string out_;
    std::vector<std::string> open_;
};

} // namespace pyrelto
