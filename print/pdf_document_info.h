#pragma once
// Qt's PDF writer sets the title and the creator of a document but has no author. The author is
// added as an incremental update: a new information dictionary and a cross-reference section for
// it appended to the file, which every PDF reader applies over the original.

#include <QByteArray>
#include <QString>

namespace pyrelto {

// `pdf` with `author` in its document information; unchanged when `author` is empty or the file's
// trailer is not in the plain form Qt writes.
QByteArray withDocumentAuthor(const QByteArray& pdf, const QString& author);

} // namespace pyrelto
