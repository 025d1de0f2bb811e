#include "form_storage.h"

#include "decimal_text.h"
#include "field_catalogue.h"
#include "settings_store.h"
#include "sheet.h"

#include <QGuiApplication>
#include <QMargins>
#include <QMetaObject>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pyrelto {

namespace {

// Show commands and placement flags with the numbers the stored values use.
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;
constexpr int kRestoreToMaximized = 2;

// Below this many pixels of it on a screen, a window cannot be grabbed and moved back.
constexpr int kReachablePart = 32;
// Stored coordinates are cut to this, which keeps every sum of two of them inside int.
constexpr int kFarAway = 1 << 24;
const QMargins kUsualFrame(8, 31, 8, 8);

std::u16string ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

std::u16string number(int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ascii({buffer, static_cast<std::size_t>(result.ptr - buffer)});
}

std::u16string joinNumbers(std::initializer_list<int> values) {
    std::u16string text;
    for (const int value : values) {
        if (!text.empty())
            text += u',';
        text += number(value);
    }
    return text;
}

// One entry of StoredProps, "Component.Property": the field and the value name
// "Component_Property".
struct StoredProp {
    FieldId field;
    std::u16string name;
};

std::optional<StoredProp> storedProp(std::u16string_view entry) {
    const std::size_t dot = entry.find(u'.');
    const std::u16string_view component = entry.substr(0, dot);
    const auto field = findField(std::string(component.begin(), component.end()));
    if (dot == std::u16string_view::npos || !field)
        return std::nullopt;
    return StoredProp{*field,
                      std::u16string(component) + u"_" + std::u16string(entry.substr(dot + 1))};
}

// A stored property's value in its text form.
std::u16string storedText(const Sheet& sheet, FieldId field) {
    return isNumeric(field) ? storedFloatText(sheet.number(field).GetValue())
                            : trimStoredText(sheet.text(field).text());
}

} // namespace

QRect placeOnNearestScreen(const QRect& rect, const QList<QRect>& screens, const QMargins& frame) {
    if (screens.isEmpty())
        return rect;
    const int needWidth = std::clamp(rect.width(), 1, kReachablePart);
    const int needHeight = std::clamp(rect.height(), 1, kReachablePart);
    // The screen the window lands on is the one that holds most of it.
    const QRect* landing = nullptr;
    long long landingArea = 0;
    for (const QRect& screen : screens) {
        const QRect part = screen.intersected(rect);
        const long long area = static_cast<long long>(part.width()) * part.height();
        if (part.width() >= needWidth && part.height() >= needHeight && area > landingArea) {
            landing = &screen;
            landingArea = area;
        }
    }
    if (landing) {
        // Reachable, but a window larger than its screen (one stored line can ask for 32767
        // pixels square, gigabytes of window memory) is cut to the screen and moved onto it,
        // frame included, so that its title bar can be grabbed.
        if (rect.width() <= landing->width() && rect.height() <= landing->height())
            return rect;
        const QRect area = landing->marginsRemoved(frame);
        QRect placed(rect.topLeft(), rect.size().boundedTo(area.size()));
        placed.moveLeft(std::clamp(rect.left(), area.left(), area.right() + 1 - placed.width()));
        placed.moveTop(std::clamp(rect.top(), area.top(), area.bottom() + 1 - placed.height()));
        return placed;
    }
    const auto distance = [&rect](const QRect& screen) {
        const long long dx =
            std::max({0, screen.left() - rect.right(), rect.left() - screen.right()});
        const long long dy =
            std::max({0, screen.top() - rect.bottom(), rect.top() - screen.bottom()});
        return dx * dx + dy * dy;
    };
    const QRect& target =
        *std::min_element(screens.begin(), screens.end(), [&](const QRect& a, const QRect& b) {
            return distance(a) < distance(b);
        });
    // The frame (title bar included) goes on the screen too.
    const QRect area = target.marginsRemoved(frame);
    QRect placed(rect.topLeft(), rect.size().boundedTo(area.size()));
    placed.moveLeft(std::clamp(rect.left(), area.left(), area.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(rect.top(), area.top(), area.bottom() + 1 - placed.height()));
    return placed;
}

// ---- TFormStorage ----

TFormStorage::TFormStorage(QWidget& window, Sheet& sheet, SettingsStore& store,
                           ErrorHandler showError)
    : window_(window), sheet_(sheet), store_(store), showError_(std::move(showError)) {}

std::u16string TFormStorage::screenSuffix() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(0, 0);
    // Appended piece by piece: GCC 12 misreads a chain of + on these strings as an overlapping
    // copy (-Wrestrict) in a Release build.
    std::u16string suffix = u"(";
    suffix += number(size.width());
    suffix += u'x';
    suffix += number(size.height());
    suffix += u')';
    return suffix;
}

int TFormStorage::pixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 96;
}

std::optional<std::u16string> TFormStorage::placementText(std::u16string_view name) const {
    switch (store_.kind(name)) {
    case SettingsStore::ValueKind::Missing:
        return std::nullopt;
    case SettingsStore::ValueKind::String:
        return store_.readString(name);
    case SettingsStore::ValueKind::Other:
        break;
    }
    throw InvalidDataType{std::u16string(name)};
}

int TFormStorage::placementInteger(std::u16string_view name, int fallback) const {
    const auto text = placementText(name);
    if (!text)
        return fallback;
    return parseStoredInteger(*text).value_or(fallback);
}

std::u16string TFormStorage::positionText(std::u16string_view name) const {
    const std::u16string base(name);
    std::u16string text = placementText(base + screenSuffix()).value_or(std::u16string());
    if (text.empty())
        text = placementText(base).value_or(std::u16string());
    return text;
}

void TFormStorage::RestoreFormPlacement() {
    restored_ = false;
    try {
        if (placementInteger(u"FormVersion", 0) >= 0) {
            // Every placement value is read, and its type checked, before anything changes: a
            // value of the wrong type leaves the window as it was built.
            StoredPlacement stored;
            stored.flags = placementInteger(u"Flags", placement_.flags);
            stored.minMaxPos = positionText(u"MinMaxPos");
            stored.normPos = positionText(u"NormPos");
            stored.pixelsPerInch = placementInteger(u"PixelsPerInch", pixelsPerInch());
            stored.showCmd = placementInteger(u"ShowCmd", 0);
            applyPlacement(stored);
            applyShowCmd(stored.showCmd);
            restoreProperties();
        }
    } catch (const InvalidDataType& error) {
        if (showError_)
            showError_(QStringLiteral("Invalid data type for '%1'").arg(QStringView(error.name)));
        return;
    }
    restored_ = true;
    // Where a maximized window goes is the system's business, not the stored value's.
    const QRect frame = window_.frameGeometry();
    const QRect client = window_.geometry();
    placement_.maxPosition = QPoint(frame.left() - client.left(), client.bottom() - frame.bottom());
}

void TFormStorage::applyPlacement(const StoredPlacement& stored) {
    const bool found = (!stored.minMaxPos.empty() || !stored.normPos.empty()) &&
                       stored.pixelsPerInch == pixelsPerInch();
    if (!found)
        return;
    WindowPlacement placement = placement_;
    if (!stored.minMaxPos.empty()) {
        const auto words = positionWords(stored.minMaxPos);
        placement.minPosition = QPoint(words[0].value_or(0), words[1].value_or(0));
        placement.maxPosition = QPoint(words[2].value_or(0), words[3].value_or(0));
    }
    const QRect current = window_.geometry();
    const auto words = positionWords(stored.normPos);
    // Far beyond any screen, but small enough that no arithmetic on them overflows.
    const auto bounded = [](int value) { return std::clamp(value, -kFarAway, kFarAway); };
    placement.left = bounded(words[0].value_or(current.left()));
    placement.top = bounded(words[1].value_or(current.top()));
    placement.right = bounded(words[2].value_or(current.left() + current.width()));
    placement.bottom = bounded(words[3].value_or(current.top() + current.height()));
    if (placement.right <= placement.left)
        return;
    placement.flags = stored.flags;
    placement_ = placement;

    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    // Before the window is first shown the platform has not told its frame yet; a common title
    // bar and border stand in for it.
    QMargins frame(window_.geometry().left() - window_.frameGeometry().left(),
                   window_.geometry().top() - window_.frameGeometry().top(),
                   window_.frameGeometry().right() - window_.geometry().right(),
                   window_.frameGeometry().bottom() - window_.geometry().bottom());
    if (frame.isNull())
        frame = kUsualFrame;
    // Placed before the window takes it: never even briefly the size a stored line asks for.
    const QSize size = QSize(placement.right - placement.left, placement.bottom - placement.top)
                           .boundedTo(window_.maximumSize());
    window_.setGeometry(
        placeOnNearestScreen(QRect(QPoint(placement.left, placement.top), size), screens, frame));
}

void TFormStorage::applyShowCmd(int showCmd) {
    constexpr Qt::WindowStates sized = Qt::WindowMinimized | Qt::WindowMaximized;
    switch (showCmd) {
    case 2:
    case 6:
    case 7: {
        // Posted, as a minimize command to the application would be: the window finishes
        // showing first.
        QPointer<QWidget> window(&window_);
        QMetaObject::invokeMethod(
            &window_,
            [window] {
                if (window)
                    window->setWindowState(window->windowState() | Qt::WindowMinimized);
            },
            Qt::QueuedConnection);
        return;
    }
    case 3:
        window_.setWindowState((window_.windowState() & ~sized) | Qt::WindowMaximized);
        break;
    default:
        window_.setWindowState(window_.windowState() & ~sized);
        break;
    }
    window_.update();
}

void TFormStorage::restoreProperties() {
    for (const std::u16string_view entry : StoredProps) {
        const auto prop = storedProp(entry);
        if (!prop)
            continue;
        std::u16string text;
        switch (store_.kind(prop->name)) {
        case SettingsStore::ValueKind::Missing:
            text = storedText(sheet_, prop->field);
            break;
        case SettingsStore::ValueKind::String:
            text = store_.readString(prop->name).value_or(std::u16string());
            break;
        case SettingsStore::ValueKind::Other:
            continue; // not ours to interpret; the field keeps its value
        }
        text = trimStoredText(text);
        if (isNumeric(prop->field)) {
            const char16_t separator = sheet_.numberFormat().decimalSeparator;
            std::replace(text.begin(), text.end(), u'.', separator);
            if (const auto value = parseFloat(text, separator))
                sheet_.number(prop->field).SetValue(*value);
        } else {
            sheet_.text(prop->field).setText(text);
        }
    }
}

WindowPlacement TFormStorage::currentPlacement() const {
    WindowPlacement placement = placement_;
    const Qt::WindowStates state = window_.windowState();
    const bool minimized = state.testFlag(Qt::WindowMinimized);
    const bool maximized = state.testFlag(Qt::WindowMaximized);
    placement.flags = (placement.flags & ~kRestoreToMaximized) |
                      (minimized && maximized ? kRestoreToMaximized : 0);
    placement.showCmd = minimized ? kShowMinimized : maximized ? kShowMaximized : kShowNormal;
    const QRect normal =
        window_.normalGeometry().isValid() ? window_.normalGeometry() : window_.geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    return placement;
}

void TFormStorage::SaveFormPlacement() {
    save(false);
}

void TFormStorage::formDestroying() {
    if (!saved_)
        save(true);
}

void TFormStorage::save(bool destroying) {
    if (!restored_)
        return;
    const WindowPlacement placement = currentPlacement();
    const std::u16string suffix = screenSuffix();
    const std::u16string minMax =
        joinNumbers({placement.minPosition.x(), placement.minPosition.y(),
                     placement.maxPosition.x(), placement.maxPosition.y()});
    const std::u16string norm =
        joinNumbers({placement.left, placement.top, placement.right, placement.bottom});
    std::vector<std::pair<std::u16string, std::u16string>> values{
        {u"FormVersion", number(formVersion)},
        {u"Flags", number(placement.flags)},
        {u"ShowCmd", number(placement.showCmd)},
        {u"PixelsPerInch", number(pixelsPerInch())},
        {u"MinMaxPos" + suffix, minMax},
        {u"MinMaxPos", minMax},
        {u"NormPos" + suffix, norm},
        {u"NormPos", norm},
        {u"Visible", destroying ? u"1" : u"0"},
    };
    for (const std::u16string_view entry : StoredProps)
        if (const auto prop = storedProp(entry))
            values.emplace_back(prop->name, storedText(sheet_, prop->field));
    const auto failed = [this](const std::u16string& name) {
        if (showError_)
            showError_(QStringLiteral("Failed to set data for '%1'").arg(QStringView(name)));
    };
    for (const auto& [name, text] : values) {
        if (!store_.writeString(name, text))
            return failed(name);
    }
    // A store that cannot make the values last has stored none of them, the first included.
    if (!store_.commit())
        return failed(values.front().first);
    saved_ = true;
}

} // namespace pyrelto
