#pragma once
// FormStorage1: the main window remembers its placement, the VAT rate and the currency text
// between runs. The window calls RestoreFormPlacement when it is first shown (before its own show
// handler, so that a calculation file named on the command line overrides the restored values),
// SaveFormPlacement when a close is allowed, and formDestroying when it goes away.

#include "stored_text.h"

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace pyrelto {

class Sheet;
class SettingsStore;

// The window's placement in the shape of the stored values. The normal rectangle is kept as
// left, top, right and bottom, right and bottom lying just outside the window.
struct WindowPlacement {
    int flags = 0;
    int showCmd = 0;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Where a window with the inner rectangle `rect` and the `frame` around it may open when `screens`
// are the usable areas of the screens now attached: unchanged while a usable part of it lies on
// one of them and it is no larger than the one holding most of it; shrunk to that one, frame
// included, and moved onto it when larger; otherwise moved, frame included (and shrunk if it is
// larger), onto the nearest one, so that a window stored on a monitor that has since been removed
// does not open where nobody can see or reach it.
QRect placeOnNearestScreen(const QRect& rect, const QList<QRect>& screens,
                           const QMargins& frame = {});

class TFormStorage {
public:
    using ErrorHandler = std::function<void(const QString& message)>;

    // Component and property of each stored field; the value name joins them with "_".
    static constexpr std::array<std::u16string_view, 2> StoredProps{u"MwStEd.Value",
                                                                    u"Waehr15Ed.Text"};
    static constexpr int formVersion = 0;

    // `showError` reports a stored value of the wrong type and a value that cannot be written
    // (the message box captioned with the application title).
    TFormStorage(QWidget& window, Sheet& sheet, SettingsStore& store, ErrorHandler showError);

    void RestoreFormPlacement();
    void SaveFormPlacement();
    // The window is being destroyed: saves once more, with "Visible" 1, when no save completed.
    void formDestroying();

    // The last restore ran to its end (a save writes nothing before that).
    bool restored() const noexcept { return restored_; }
    // A save ran to its end in this run.
    bool saved() const noexcept { return saved_; }
    const WindowPlacement& placement() const noexcept { return placement_; }

    // The suffix of the position value names: the primary screen's size, "(1920x1080)".
    static std::u16string screenSuffix();
    static int pixelsPerInch();

private:
    struct InvalidDataType {
        std::u16string name;
    };
    struct StoredPlacement {
        int flags = 0;
        std::u16string minMaxPos;
        std::u16string normPos;
        int pixelsPerInch = 0;
        int showCmd = 0;
    };

    std::optional<std::u16string> placementText(std::u16string_view name) const;
    int placementInteger(std::u16string_view name, int fallback) const;
    std::u16string positionText(std::u16string_view name) const;
    void applyPlacement(const StoredPlacement& stored);
    void applyShowCmd(int showCmd);
    void restoreProperties();
    void save(bool destroying);
    WindowPlacement currentPlacement() const;

    QWidget& window_;
    Sheet& sheet_;
    SettingsStore& store_;
    ErrorHandler showError_;
    WindowPlacement placement_;
    bool restored_ = false;
    bool saved_ = false;
};

} // namespace pyrelto
