#pragma once
// The small pictures on the window's push buttons, drawn here in a few strokes. Asking the style
// or the icon theme for them cost a quarter of the start-up, and no theme can be counted on to
// have them all anyway.

#include <QIcon>

namespace pyrelto {

enum class ButtonPicture {
    Open,     // a folder
    Save,     // a disk
    Print,    // a printer
    NewEntry, // a green tick
    Edit,     // a pencil
    Delete,   // a red cross
    TakeOver, // an arrow to the left
    Search,   // a magnifying glass
};

// A 16 x 16 picture, painted afresh (a few hundred instructions, far less than a style lookup).
QIcon buttonPicture(ButtonPicture kind);

} // namespace pyrelto
