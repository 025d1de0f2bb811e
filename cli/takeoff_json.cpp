#include "takeoff_json.h"

#include "utf16.h"

#include <array>
#include <charconv>
#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace pyrelto {

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error("Aufmaß: " + where + ": " + what);
}

void onlyKeys(const nlohmann::json& object, const std::string& where,
              std::initializer_list<std::string_view> keys) {
    if (!object.is_object()) {
        fail(where, "ein Objekt erwartet.");
    }
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const std::string_view k : keys) {
            known = known || key == k;
        }
        if (!known) {
            fail(where, "unbekannter Eintrag „" + key + "“.");
        }
    }
}

// A JSON number with at most two decimals, in hundredths. The shortest text that gives the double
// back is read as decimal digits, so 0.3 is 30 exactly and 0.001 is refused, not rounded.
Hundredths hundredths(const nlohmann::json& object, const char* key, const std::string& where,
                      bool allowNegative = false) {
    const std::string at = where + "." + key;
    if (!object.contains(key)) {
        fail(at, "fehlt.");
    }
    const nlohmann::json& v = object.at(key);
    if (!v.is_number()) {
        fail(at, "eine Zahl erwartet.");
    }
    std::array<char, 400> text{};
    std::to_chars_result r{};
    if (v.is_number_float()) {
        r = std::to_chars(text.data(), text.data() + text.size(), v.get<double>(),
                          std::chars_format::fixed);
    } else if (v.is_number_unsigned()) {
        r = std::to_chars(text.data(), text.data() + text.size(), v.get<std::uint64_t>());
    } else {
        r = std::to_chars(text.data(), text.data() + text.size(), v.get<std::int64_t>());
    }
    if (r.ec != std::errc{}) {
        fail(at, "die Zahl ist zu groß.");
    }
    const ParsedHundredths p =
        parseHundredths(fromUtf8(std::string_view(text.data(), r.ptr)), u'.', allowNegative);
    if (!p.ok()) {
        fail(at, p.error);
    }
    return p.value;
}

std::int32_t count(const nlohmann::json& object, const std::string& where) {
    if (!object.contains("count")) {
        return 1;
    }
    const nlohmann::json& v = object.at("count");
    if (!v.is_number_integer() || v.get<std::int64_t>() < 1 || v.get<std::int64_t>() > kMaxCount) {
        fail(where + ".count",
             "eine ganze Zahl von 1 bis " + std::to_string(kMaxCount) + " erwartet.");
    }
    return static_cast<std::int32_t>(v.get<std::int64_t>());
}

std::u16string name(const nlohmann::json& object, const std::string& where) {
    if (!object.contains("name")) {
        return {};
    }
    if (!object.at("name").is_string()) {
        fail(where + ".name", "ein Text erwartet.");
    }
    return fromUtf8(object.at("name").get<std::string>());
}

const nlohmann::json& list(const nlohmann::json& object, const char* key,
                           const std::string& where) {
    static const nlohmann::json empty = nlohmann::json::array();
    if (!object.contains(key)) {
        return empty;
    }
    const nlohmann::json& v = object.at(key);
    if (!v.is_array()) {
        fail(where + key, "eine Liste erwartet.");
    }
    if (v.size() > kMaxRows) {
        fail(where + key, "höchstens " + std::to_string(kMaxRows) + " Einträge.");
    }
    return v;
}

std::string item(const std::string& where, const char* key, std::size_t i) {
    return where + key + "[" + std::to_string(i) + "]";
}

Face face(const nlohmann::json& j, const std::string& where) {
    Face f;
    if (!j.is_object() || !j.contains("shape") || !j.at("shape").is_string()) {
        fail(where, "„shape“ fehlt (rectangle, triangle, trapezoid oder polygon).");
    }
    const std::string shape = j.at("shape").get<std::string>();
    if (shape == "rectangle") {
        onlyKeys(j, where,
                 {"name", "shape", "length", "width", "count", "measured", "pitch", "openings",
                  "edges"});
        f.a = hundredths(j, "length", where);
        f.b = hundredths(j, "width", where);
    } else if (shape == "triangle") {
        onlyKeys(
            j, where,
            {"name", "shape", "base", "height", "count", "measured", "pitch", "openings", "edges"});
        f.shape = FaceShape::Triangle;
        f.a = hundredths(j, "base", where);
        f.b = hundredths(j, "height", where);
    } else if (shape == "trapezoid") {
        onlyKeys(j, where,
                 {"name", "shape", "length", "top", "height", "count", "measured", "pitch",
                  "openings", "edges"});
        f.shape = FaceShape::Trapezoid;
        f.a = hundredths(j, "length", where);
        f.c = hundredths(j, "top", where);
        f.b = hundredths(j, "height", where);
    } else if (shape == "polygon") {
        onlyKeys(j, where,
                 {"name", "shape", "points", "count", "measured", "pitch", "openings", "edges"});
        f.shape = FaceShape::Polygon;
        const nlohmann::json& points = j.contains("points") ? j.at("points") : nlohmann::json();
        if (!points.is_array() || points.size() > kMaxPolygonPoints) {
            fail(where + ".points", "eine Liste von höchstens " +
                                        std::to_string(kMaxPolygonPoints) +
                                        " Punkten [x, y] erwartet.");
        }
        for (std::size_t i = 0; i < points.size(); ++i) {
            const std::string at = where + ".points[" + std::to_string(i) + "]";
            if (!points[i].is_array() || points[i].size() != 2) {
                fail(at, "ein Punkt [x, y] erwartet.");
            }
            const nlohmann::json xy{{"x", points[i][0]}, {"y", points[i][1]}};
            f.points.push_back({hundredths(xy, "x", at, true), hundredths(xy, "y", at, true)});
        }
    } else {
        fail(where + ".shape", "rectangle, triangle, trapezoid oder polygon erwartet.");
    }
    f.name = name(j, where);
    f.count = count(j, where);
    if (j.contains("measured")) {
        const auto& m = j.at("measured");
        if (m == "plan") {
            f.measured = Measured::OnPlan;
        } else if (m != "slope") {
            fail(where + ".measured", "„plan“ oder „slope“ erwartet.");
        }
    }
    if (j.contains("pitch")) {
        f.pitch = hundredths(j, "pitch", where);
    }
    const auto& openings = list(j, "openings", where + ".");
    for (std::size_t i = 0; i < openings.size(); ++i) {
        const std::string at = item(where + ".", "openings", i);
        onlyKeys(openings[i], at, {"name", "length", "width", "count"});
        f.openings.push_back({name(openings[i], at), hundredths(openings[i], "length", at),
                              hundredths(openings[i], "width", at), count(openings[i], at)});
    }
    const auto& edges = list(j, "edges", where + ".");
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const std::string at = item(where + ".", "edges", i);
        onlyKeys(edges[i], at, {"kind", "length", "count"});
        Edge e;
        const nlohmann::json& kind =
            edges[i].contains("kind") ? edges[i].at("kind") : nlohmann::json();
        bool known = false;
        for (int k = 0; k < kEdgeKindCount && kind.is_string(); ++k) {
            const auto candidate = static_cast<EdgeKind>(k);
            if (kind.get<std::string>() == edgeKindName(candidate) ||
                (candidate == EdgeKind::Attika && kind.get<std::string>() == "Attika")) {
                e.kind = candidate;
                known = true;
            }
        }
        if (!known) {
            fail(at + ".kind", "Traufe, Ortgang, First, Grat, Kehle, Attika/Dachrand oder "
                               "Wandanschluss erwartet.");
        }
        e.length = hundredths(edges[i], "length", at);
        e.count = count(edges[i], at);
        f.edges.push_back(e);
    }
    return f;
}

} // namespace

TakeOff takeOffFromJson(const nlohmann::json& json) {
    onlyKeys(json, "Datei", {"threshold", "faces", "upstands"});
    TakeOff t;
    if (json.contains("threshold")) {
        t.openingThreshold = hundredths(json, "threshold", "Datei");
    }
    const auto& faces = list(json, "faces", "");
    for (std::size_t i = 0; i < faces.size(); ++i) {
        t.faces.push_back(face(faces[i], item("", "faces", i)));
    }
    const auto& upstands = list(json, "upstands", "");
    for (std::size_t i = 0; i < upstands.size(); ++i) {
        const std::string at = item("", "upstands", i);
        onlyKeys(upstands[i], at, {"name", "length", "height", "count"});
        t.upstands.push_back({name(upstands[i], at), hundredths(upstands[i], "length", at),
                              hundredths(upstands[i], "height", at), count(upstands[i], at)});
    }
    return t;
}

nlohmann::ordered_json takeOffJson(const TakeOff& takeOff, char16_t separator) {
    const auto number = [separator](Hundredths v) {
        return toUtf8(formatHundredths(v, separator));
    };
    const TakeOffResult result = computeTakeOff(takeOff);
    nlohmann::ordered_json out;
    out["threshold"] = number(takeOff.openingThreshold);
    nlohmann::ordered_json faces = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < takeOff.faces.size() && i < result.faces.size(); ++i) {
        const FaceResult& r = result.faces[i];
        faces.push_back({{"name", toUtf8(takeOff.faces[i].name)},
                         {"area", number(r.area)},
                         {"count", takeOff.faces[i].count},
                         {"total", number(r.total)},
                         {"deductions", number(r.deduction)}});
    }
    out["faces"] = std::move(faces);
    nlohmann::ordered_json upstands = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < takeOff.upstands.size() && i < result.upstands.size(); ++i) {
        upstands.push_back({{"name", toUtf8(takeOff.upstands[i].name)},
                            {"area", number(result.upstands[i].area)},
                            {"count", takeOff.upstands[i].count},
                            {"total", number(result.upstands[i].total)}});
    }
    out["upstands"] = std::move(upstands);
    if (result.totals) {
        const TakeOffTotals& t = *result.totals;
        out["totals"] = {{"gross", number(t.gross)},
                         {"deductions", number(t.deductions)},
                         {"upstands", number(t.upstands)},
                         {"net", number(t.net)}};
        nlohmann::ordered_json edges = nlohmann::ordered_json::object();
        for (int k = 0; k < kEdgeKindCount; ++k) {
            edges[std::string(edgeKindName(static_cast<EdgeKind>(k)))] = number(t.edges[k]);
        }
        out["edges"] = std::move(edges);
    } else {
        out["totals"] = nullptr;
        out["messages"] = result.messages();
    }
    return out;
}

} // namespace pyrelto
