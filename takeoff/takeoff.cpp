#include "takeoff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pyrelto {

namespace {

std::string number(std::int64_t n) {
    return std::to_string(n);
}

// "10.000,00 m" for messages: the German way, whatever the user's separator.
std::string metres(Hundredths v) {
    // Built front to back: GCC 12's -Wrestrict misreads insert() into a string in Release.
    const std::string whole = std::to_string(v / 100);
    std::string text;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            text += '.';
        text += whole[i];
    }
    const auto cents = v % 100;
    text += ',';
    if (cents < 10)
        text += '0';
    text += std::to_string(cents);
    return text;
}

// n / d rounded half up, for n >= 0 and d > 0.
Hundredths divideHalfUp(std::int64_t n, std::int64_t d) {
    return (n + d / 2) / d;
}

// Twice the area in cm² divided by 200 is the area in hundredths of a m²; on the plan with a
// pitch, divided by cos α as well. cos α is rational only at 0° and 60° (Niven's theorem), so only
// there can the quotient fall exactly on a half: both are done in integers. Elsewhere the
// quotient is irrational and 64-bit long double arithmetic decides the rounding with a margin of
// many orders of magnitude.
Hundredths pitchedArea(std::int64_t doubledSquareCm, Measured measured, Hundredths pitch) {
    if (measured == Measured::AlongSlope || pitch == 0) {
        return divideHalfUp(doubledSquareCm, 200);
    }
    if (pitch == 6000) {
        return divideHalfUp(doubledSquareCm, 100);
    }
    const long double alpha =
        static_cast<long double>(pitch) / 100.0L * std::numbers::pi_v<long double> / 180.0L;
    const long double q = static_cast<long double>(doubledSquareCm) / (200.0L * std::cos(alpha));
    return static_cast<Hundredths>(std::floor(q + 0.5L));
}

long double cosPitch(const Face& face) {
    if (face.measured == Measured::AlongSlope) {
        return 1.0L;
    }
    return std::cos(static_cast<long double>(face.pitch) / 100.0L *
                    std::numbers::pi_v<long double> / 180.0L);
}

std::string checkLength(Hundredths v, const char* what) {
    if (v <= 0) {
        return std::string(what) + ": muss größer als 0,00 m sein.";
    }
    if (v > kMaxLength) {
        return std::string(what) + ": höchstens " + metres(kMaxLength) + " m.";
    }
    return {};
}

std::string checkCount(std::int32_t count) {
    if (count < 1 || count > kMaxCount) {
        return "Anzahl: nur 1 bis " + number(kMaxCount) + ".";
    }
    return {};
}

std::string checkName(const std::u16string& name) {
    if (name.size() > kMaxNameLength) {
        return "Bezeichnung: höchstens " + number(kMaxNameLength) + " Zeichen.";
    }
    return {};
}

std::int64_t cross(const Point& o, const Point& a, const Point& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

int sign(std::int64_t v) {
    return (v > 0) - (v < 0);
}

// p on the segment a–b, given that the three are collinear.
bool within(const Point& a, const Point& b, const Point& p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

bool segmentsMeet(const Point& p1, const Point& p2, const Point& q1, const Point& q2) {
    const int d1 = sign(cross(q1, q2, p1));
    const int d2 = sign(cross(q1, q2, p2));
    const int d3 = sign(cross(p1, p2, q1));
    const int d4 = sign(cross(p1, p2, q2));
    if (d1 != d2 && d3 != d4 && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0) {
        return true;
    }
    return (d1 == 0 && within(q1, q2, p1)) || (d2 == 0 && within(q1, q2, p2)) ||
           (d3 == 0 && within(p1, p2, q1)) || (d4 == 0 && within(p1, p2, q2));
}

// The outline must be a simple polygon: sides meet only their neighbours, and only in their
// common corner. Exact in integers; O(n²) for at most kMaxPolygonPoints corners.
std::string checkPolygon(const std::vector<Point>& pts) {
    const std::size_t n = pts.size();
    if (n < 3) {
        return "Vieleck: mindestens 3 Punkte.";
    }
    if (n > kMaxPolygonPoints) {
        return "Vieleck: höchstens " + number(static_cast<std::int64_t>(kMaxPolygonPoints)) +
               " Punkte.";
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Point& p = pts[i];
        if (p.x < -kMaxCoordinate || p.x > kMaxCoordinate || p.y < -kMaxCoordinate ||
            p.y > kMaxCoordinate) {
            return "Vieleck: Punkt " + number(static_cast<std::int64_t>(i + 1)) +
                   " liegt außerhalb von ±" + metres(kMaxCoordinate) + " m.";
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (pts[i] == pts[(i + 1) % n]) {
            return "Vieleck: Punkt " + number(static_cast<std::int64_t>(i + 1)) + " und Punkt " +
                   number(static_cast<std::int64_t>((i + 1) % n + 1)) + " sind gleich.";
        }
    }
    const auto side = [n](std::size_t i) { return number(static_cast<std::int64_t>(i % n + 1)); };
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = pts[i];
        const Point& b = pts[(i + 1) % n];
        // The neighbour that follows: it may not run back along this side.
        const Point& c = pts[(i + 2) % n];
        if (cross(a, b, c) == 0 && (a.x - b.x) * (c.x - b.x) + (a.y - b.y) * (c.y - b.y) > 0) {
            return "Vieleck: die Seiten " + side(i) + " und " + side(i + 1) +
                   " laufen aufeinander zurück.";
        }
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) {
                continue; // neighbours across the closing corner
            }
            if (segmentsMeet(a, b, pts[j], pts[(j + 1) % n])) {
                return "Vieleck: die Seiten " + side(i) + " und " + side(j) +
                       " kreuzen oder berühren sich.";
            }
        }
    }
    return {};
}

std::int64_t doubledPolygonArea(const std::vector<Point>& pts) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Point& p = pts[i];
        const Point& q = pts[(i + 1) % pts.size()];
        sum += p.x * q.y - q.x * p.y;
    }
    return sum < 0 ? -sum : sum;
}

// The face's own dimensions; on success `doubled` is twice its area in cm² before the pitch.
std::string checkFace(const Face& face, std::int64_t& doubled) {
    if (auto e = checkName(face.name); !e.empty()) {
        return e;
    }
    std::string e;
    switch (face.shape) {
    case FaceShape::Rectangle:
        if (e = checkLength(face.a, "Länge");
            e.empty() && (e = checkLength(face.b, "Breite")).empty()) {
            doubled = 2 * face.a * face.b;
        }
        break;
    case FaceShape::Triangle:
        if (e = checkLength(face.a, "Grundseite");
            e.empty() && (e = checkLength(face.b, "Höhe")).empty()) {
            doubled = face.a * face.b;
        }
        break;
    case FaceShape::Trapezoid:
        if (e = checkLength(face.a, "Untere Seite");
            e.empty() && (e = checkLength(face.c, "Obere Seite")).empty() &&
            (e = checkLength(face.b, "Höhe")).empty()) {
            doubled = (face.a + face.c) * face.b;
        }
        break;
    case FaceShape::Polygon:
        if (e = checkPolygon(face.points); e.empty()) {
            doubled = doubledPolygonArea(face.points);
            if (doubled == 0) {
                e = "Vieleck: die Fläche ist 0.";
            }
        }
        break;
    default:
        e = "Unbekannte Form.";
    }
    if (!e.empty()) {
        return e;
    }
    if (face.pitch < 0 || face.pitch > kMaxPitch) {
        return "Dachneigung: nur 0° bis 75°.";
    }
    if (face.measured != Measured::OnPlan && face.measured != Measured::AlongSlope) {
        return "Unbekannte Messart.";
    }
    return checkCount(face.count);
}

OpeningResult computeOpening(const Opening& opening, Hundredths threshold) {
    OpeningResult r;
    if (r.error = checkName(opening.name); !r.error.empty()) {
        return r;
    }
    if (r.error = checkLength(opening.length, "Länge"); !r.error.empty()) {
        return r;
    }
    if (r.error = checkLength(opening.width, "Breite"); !r.error.empty()) {
        return r;
    }
    if (r.error = checkCount(opening.count); !r.error.empty()) {
        return r;
    }
    r.area = divideHalfUp(opening.length * opening.width, 100);
    // "bis 1,00 m² übermessen": up to and including the threshold, compared as written on the
    // take-off (rounded), so the reader of the printout can check every decision.
    r.deducted = r.area > threshold;
    r.deduction = r.deducted ? r.area * opening.count : 0;
    return r;
}

void addMessage(std::vector<std::string>& out, const std::string& where, const std::string& e) {
    if (!e.empty()) {
        out.push_back(where + ": " + e);
    }
}

} // namespace

std::string_view edgeKindName(EdgeKind kind) {
    static constexpr std::array<std::string_view, kEdgeKindCount> names{
        "Traufe", "Ortgang", "First", "Grat", "Kehle", "Attika/Dachrand", "Wandanschluss"};
    const auto i = static_cast<std::size_t>(kind);
    return i < names.size() ? names[i] : std::string_view("?");
}

TakeOffResult computeTakeOff(const TakeOff& takeOff) {
    TakeOffResult result;
    bool sound = true;
    if (takeOff.openingThreshold < 0 || takeOff.openingThreshold > kMaxOpeningThreshold) {
        result.error = std::string(kOpeningThresholdLabel) + ": nur 0,00 bis " +
                       metres(kMaxOpeningThreshold) + " m².";
    } else if (takeOff.faces.size() > kMaxRows || takeOff.upstands.size() > kMaxRows) {
        result.error = "Höchstens " + number(static_cast<std::int64_t>(kMaxRows)) +
                       " Flächen und " + number(static_cast<std::int64_t>(kMaxRows)) +
                       " Aufkantungen.";
    }
    if (!result.error.empty()) {
        return result;
    }
    TakeOffTotals totals;
    for (const Face& face : takeOff.faces) {
        FaceResult& fr = result.faces.emplace_back();
        std::int64_t doubled = 0;
        fr.error = checkFace(face, doubled);
        if (fr.error.empty() && (face.openings.size() > kMaxRows || face.edges.size() > kMaxRows)) {
            fr.error = "Höchstens " + number(static_cast<std::int64_t>(kMaxRows)) +
                       " Aussparungen und " + number(static_cast<std::int64_t>(kMaxRows)) +
                       " Kanten je Fläche.";
        }
        if (fr.error.empty()) {
            fr.area = pitchedArea(doubled, face.measured, face.pitch);
            fr.total = fr.area * face.count;
        }
        Hundredths openingSum = 0;
        bool openingsSound = true;
        for (const Opening& opening : face.openings) {
            OpeningResult& orr =
                fr.openings.emplace_back(computeOpening(opening, takeOff.openingThreshold));
            if (orr.error.empty() && fr.error.empty() && orr.area > fr.area) {
                orr.error = "Die Aussparung ist größer als die Fläche.";
            }
            openingsSound = openingsSound && orr.error.empty();
            openingSum += orr.area * opening.count;
            fr.deduction += orr.deduction;
        }
        if (fr.error.empty() && openingsSound && openingSum > fr.total) {
            fr.error = "Die Aussparungen sind zusammen größer als die Fläche.";
        }
        sound = sound && openingsSound;
        for (const Edge& edge : face.edges) {
            std::string e = checkLength(edge.length, "Kante");
            if (e.empty()) {
                e = checkCount(edge.count);
            }
            const auto kind = static_cast<std::size_t>(edge.kind);
            if (e.empty() && kind >= static_cast<std::size_t>(kEdgeKindCount)) {
                e = "Unbekannte Kantenart.";
            }
            if (e.empty()) {
                totals.edges[kind] += edge.length * edge.count;
            }
            sound = sound && e.empty();
            fr.edgeErrors.push_back(std::move(e));
        }
        sound = sound && fr.error.empty();
        totals.gross += fr.total;
        totals.deductions += fr.deduction;
    }
    for (const Upstand& upstand : takeOff.upstands) {
        UpstandResult& ur = result.upstands.emplace_back();
        if (ur.error = checkName(upstand.name); ur.error.empty()) {
            if (ur.error = checkLength(upstand.length, "Länge"); ur.error.empty()) {
                if (ur.error = checkLength(upstand.height, "Höhe"); ur.error.empty()) {
                    ur.error = checkCount(upstand.count);
                }
            }
        }
        if (ur.error.empty()) {
            ur.area = divideHalfUp(upstand.length * upstand.height, 100);
            ur.total = ur.area * upstand.count;
            totals.upstands += ur.total;
        }
        sound = sound && ur.error.empty();
    }
    if (sound) {
        totals.net = totals.gross - totals.deductions + totals.upstands;
        result.totals = totals;
    }
    return result;
}

std::vector<std::string> TakeOffResult::messages() const {
    std::vector<std::string> out;
    if (!error.empty()) {
        out.push_back(error);
    }
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const std::string face = "Fläche " + number(static_cast<std::int64_t>(i + 1));
        addMessage(out, face, faces[i].error);
        for (std::size_t k = 0; k < faces[i].openings.size(); ++k) {
            addMessage(out, face + ", Aussparung " + number(static_cast<std::int64_t>(k + 1)),
                       faces[i].openings[k].error);
        }
        for (std::size_t k = 0; k < faces[i].edgeErrors.size(); ++k) {
            addMessage(out, face + ", Kante " + number(static_cast<std::int64_t>(k + 1)),
                       faces[i].edgeErrors[k]);
        }
    }
    for (std::size_t i = 0; i < upstands.size(); ++i) {
        addMessage(out, "Aufkantung " + number(static_cast<std::int64_t>(i + 1)),
                   upstands[i].error);
    }
    return out;
}

std::vector<OutlineSide> outlineSides(const Face& face) {
    std::int64_t doubled = 0;
    if ((face.shape != FaceShape::Rectangle && face.shape != FaceShape::Polygon) ||
        !checkFace(face, doubled).empty()) {
        return {};
    }
    const bool flat = face.pitch <= kMaxFlatRoofPitch;
    const long double c = cosPitch(face);
    // A length up the slope taken on the plan is the slope's length times cos α.
    const auto trueLength = [c](Hundredths dx, Hundredths dy) {
        const long double x = static_cast<long double>(dx);
        const long double y = static_cast<long double>(dy) / c;
        return static_cast<Hundredths>(std::floor(std::sqrt(x * x + y * y) + 0.5L));
    };
    std::vector<OutlineSide> sides;
    if (face.shape == FaceShape::Rectangle) {
        const Hundredths up = trueLength(0, face.b);
        const std::array<std::pair<Hundredths, EdgeKind>, 4> four{{{face.a, EdgeKind::Traufe},
                                                                   {up, EdgeKind::Ortgang},
                                                                   {face.a, EdgeKind::First},
                                                                   {up, EdgeKind::Ortgang}}};
        for (const auto& [length, kind] : four) {
            sides.push_back({length, face.count, flat ? EdgeKind::Attika : kind});
        }
        return sides;
    }
    for (std::size_t i = 0; i < face.points.size(); ++i) {
        const Point& p = face.points[i];
        const Point& q = face.points[(i + 1) % face.points.size()];
        OutlineSide side{trueLength(q.x - p.x, q.y - p.y), face.count, std::nullopt};
        if (flat) {
            side.suggestedKind = EdgeKind::Attika;
        }
        sides.push_back(side);
    }
    return sides;
}

std::vector<Point> faceOutline(const Face& face) {
    std::int64_t doubled = 0;
    if (!checkFace(face, doubled).empty()) {
        return {};
    }
    switch (face.shape) {
    case FaceShape::Rectangle:
        return {{0, 0}, {face.a, 0}, {face.a, face.b}, {0, face.b}};
    case FaceShape::Triangle:
        return {{0, 0}, {face.a, 0}, {face.a / 2, face.b}};
    case FaceShape::Trapezoid: {
        // The wider of the two parallel sides may be either; both are centred on one axis.
        const Hundredths width = std::max(face.a, face.c);
        const Hundredths bottom = (width - face.a) / 2;
        const Hundredths top = (width - face.c) / 2;
        return {{bottom, 0}, {bottom + face.a, 0}, {top + face.c, face.b}, {top, face.b}};
    }
    case FaceShape::Polygon:
        return face.points;
    }
    return {};
}

ParsedHundredths parseHundredths(std::u16string_view text, char16_t separator, bool allowNegative) {
    ParsedHundredths r;
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < text.size() && text[i] == u' ') {
            ++i;
        }
    };
    skipSpaces();
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t whole = 0;
    int wholeDigits = 0;
    int fractionDigits = 0;
    std::int64_t fraction = 0;
    bool separatorSeen = false;
    for (; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch >= u'0' && ch <= u'9') {
            if (separatorSeen) {
                if (++fractionDigits > 2) {
                    r.error = "Höchstens zwei Nachkommastellen.";
                    return r;
                }
                fraction = fraction * 10 + (ch - u'0');
            } else {
                if (whole > 1000000000000LL) {
                    r.error = "Die Zahl ist zu groß.";
                    return r;
                }
                whole = whole * 10 + (ch - u'0');
                ++wholeDigits;
            }
        } else if (ch == separator && !separatorSeen) {
            separatorSeen = true;
        } else {
            break;
        }
    }
    skipSpaces();
    if (i != text.size() || wholeDigits + fractionDigits == 0) {
        r.error = text.empty() ? "Bitte eine Zahl eingeben." : "Keine gültige Zahl.";
        return r;
    }
    if (fractionDigits == 1) {
        fraction *= 10;
    }
    r.value = whole * 100 + fraction;
    if (negative && r.value != 0) {
        if (!allowNegative) {
            r.error = "Die Zahl darf nicht negativ sein.";
            r.value = 0;
            return r;
        }
        r.value = -r.value;
    }
    return r;
}

std::u16string formatHundredths(Hundredths value, char16_t separator) {
    const bool negative = value < 0;
    // Magnitude in unsigned arithmetic: the most negative value has no positive counterpart.
    const std::uint64_t m = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                     : static_cast<std::uint64_t>(value);
    const std::string whole = std::to_string(m / 100);
    std::u16string out;
    if (negative) {
        out += u'-';
    }
    out.append(whole.begin(), whole.end());
    out += separator;
    out += static_cast<char16_t>(u'0' + (m % 100) / 10);
    out += static_cast<char16_t>(u'0' + m % 10);
    return out;
}

} // namespace pyrelto
