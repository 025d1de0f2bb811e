#pragma once
// The roof take-off ("Aufmaß"): faces, the openings in them, upstands and edges, measured once and
// summed exactly.
//
// Every length is a whole number of centimetres, every area a whole number of hundredths of a
// square metre, every angle a whole number of hundredths of a degree: what a contractor writes
// with two decimals is held exactly, and the sums are sums of integers. The only inexact step is
// the pitch factor (1 / cos α), and its result is rounded half up to the hundredth of a square
// metre at once, face by face, before anything is added.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// Hundredths: centimetres for lengths and coordinates, hundredths of a square metre for areas,
// hundredths of a degree for angles.
using Hundredths = std::int64_t;

// "Aussparungen bis … m² übermessen": an opening of at most this area is measured over, a larger
// one deducted. The firm sets what its contracts use (for roofing and waterproofing work VOB/C
// DIN 18338, section 5, governs measuring); 1,00 m² is only the starting value.
inline constexpr Hundredths kDefaultOpeningThreshold = 100; // 1,00 m²
inline constexpr Hundredths kMaxOpeningThreshold = 100000;  // 1.000,00 m²
inline constexpr std::string_view kOpeningThresholdLabel = "Aussparungen bis … m² übermessen";
inline constexpr std::string_view kOpeningThresholdHelp =
    "Aussparungen (Dachfenster, Schornsteine, Lichtkuppeln) bis zu dieser Einzelgröße werden "
    "übermessen, größere abgezogen; eine Aussparung von genau dieser Größe wird übermessen. "
    "Maßgebend ist, was der Vertrag vereinbart; für Dachdeckungs- und Dachabdichtungsarbeiten "
    "regelt VOB/C DIN 18338, Abschnitt 5, das Aufmaß.";

// Bounds of what a take-off can hold. Far beyond real roofs; they keep a damaged file or a
// mistyped number from making the program compute or allocate without end.
inline constexpr Hundredths kMaxLength = 1000000;     // 10.000,00 m
inline constexpr Hundredths kMaxCoordinate = 1000000; // ±10.000,00 m
inline constexpr Hundredths kMaxPitch = 7500;         // 75,00°
inline constexpr Hundredths kMaxFlatRoofPitch = 500;  // a flat roof is 0° to 5°
inline constexpr std::int32_t kMaxCount = 10000;
inline constexpr std::size_t kMaxPolygonPoints = 1000;
inline constexpr std::size_t kMaxRows =
    1000; // faces, openings of a face, edges of a face, upstands
inline constexpr std::size_t kMaxNameLength = 256; // UTF-16 units

enum class FaceShape : std::uint8_t {
    Rectangle = 0, // length × width
    Triangle = 1,  // base × height ÷ 2
    Trapezoid = 2, // (length + second length) ÷ 2 × height
    Polygon = 3,   // corner points, shoelace formula
};

// The direction of a face: the first dimension (length, base, the parallel sides) runs along the
// eaves, the second (width, height) up the slope; a polygon's y axis points up the slope. So a
// dimension taken on the plan stretches by 1 / cos α only across the eaves.
enum class Measured : std::uint8_t {
    OnPlan = 0,    // plan dimensions: the area is divided by cos α
    AlongSlope = 1 // true dimensions on the roof surface: the pitch changes nothing
};

enum class EdgeKind : std::uint8_t {
    Traufe = 0,
    Ortgang = 1,
    First = 2,
    Grat = 3,
    Kehle = 4,
    Attika = 5, // Attika/Dachrand
    Wandanschluss = 6,
};
inline constexpr int kEdgeKindCount = 7;
// "Traufe", … "Attika/Dachrand", "Wandanschluss".
std::string_view edgeKindName(EdgeKind kind);

struct Point {
    Hundredths x = 0; // cm
    Hundredths y = 0; // cm, up the slope
    friend bool operator==(const Point&, const Point&) = default;
};

// Skylight, chimney, dome light: a rectangle in the roof surface, always its real size (an
// opening's size is the product's, not a plan measure). `count` of them in the face row.
struct Opening {
    std::u16string name;
    Hundredths length = 0; // cm
    Hundredths width = 0;  // cm
    std::int32_t count = 1;
    friend bool operator==(const Opening&, const Opening&) = default;
};

// Running metres of one kind. The count is the edge's own (a ridge shared by the two halves of a
// gable roof is one edge), independent of the face's count.
struct Edge {
    EdgeKind kind = EdgeKind::Traufe;
    Hundredths length = 0; // cm
    std::int32_t count = 1;
    friend bool operator==(const Edge&, const Edge&) = default;
};

struct Face {
    std::u16string name;
    FaceShape shape = FaceShape::Rectangle;
    // Rectangle: a × b; triangle: a (base) × b (height); trapezoid: a and c (parallel) × b.
    Hundredths a = 0;
    Hundredths b = 0;
    Hundredths c = 0;
    std::vector<Point> points; // polygon only
    std::int32_t count = 1;    // identical faces (the two halves of a gable roof: 2)
    Measured measured = Measured::AlongSlope;
    Hundredths pitch = 0; // hundredths of a degree
    // Openings and edges belong to the row; their counts are their own, not multiplied by `count`
    // (a chimney may stand in one half of a gable roof only).
    std::vector<Opening> openings;
    std::vector<Edge> edges;
    friend bool operator==(const Face&, const Face&) = default;
};

// "Aufkantungen/Anschlüsse": length × height added to the area, as flat-roof waterproofing
// measures them.
struct Upstand {
    std::u16string name;
    Hundredths length = 0; // cm
    Hundredths height = 0; // cm
    std::int32_t count = 1;
    friend bool operator==(const Upstand&, const Upstand&) = default;
};

struct TakeOff {
    std::vector<Face> faces;
    std::vector<Upstand> upstands;
    Hundredths openingThreshold = kDefaultOpeningThreshold; // hundredths of a m²
    bool empty() const { return faces.empty() && upstands.empty(); }
    friend bool operator==(const TakeOff&, const TakeOff&) = default;
};

// What a row comes to. `error` is a German sentence for the row (UTF-8); a row with an error has
// no figures and the take-off no totals.
struct OpeningResult {
    std::string error;
    Hundredths area = 0;      // one opening, m²/100, rounded half up
    bool deducted = false;    // larger than the threshold
    Hundredths deduction = 0; // area × count when deducted, else 0
};

struct FaceResult {
    std::string error;        // the face's own dimensions
    Hundredths area = 0;      // one face after the pitch factor, m²/100, rounded half up
    Hundredths total = 0;     // area × count
    Hundredths deduction = 0; // the deducted openings of the row
    std::vector<OpeningResult> openings;
    std::vector<std::string> edgeErrors; // one per edge, empty when sound
};

struct UpstandResult {
    std::string error;
    Hundredths area = 0;  // one upstand, rounded half up
    Hundredths total = 0; // area × count
};

struct TakeOffTotals {
    Hundredths gross = 0;                  // Σ face totals
    Hundredths deductions = 0;             // Σ deducted openings
    Hundredths upstands = 0;               // Σ upstands
    Hundredths net = 0;                    // gross − deductions + upstands
    Hundredths edges[kEdgeKindCount] = {}; // cm by EdgeKind
};

struct TakeOffResult {
    std::vector<FaceResult> faces;
    std::vector<UpstandResult> upstands;
    std::string error; // of the take-off as a whole (the threshold)
    // Only when no row has an error: a total over a faulty row would be a wrong total.
    std::optional<TakeOffTotals> totals;
    // Every message with the row it belongs to ("Fläche 2 (Garage), Aussparung 1: …").
    std::vector<std::string> messages() const;
};

TakeOffResult computeTakeOff(const TakeOff& takeOff);

// A side of a rectangle's or polygon's outline, offered as an edge: its true length on the roof
// (a plan measure up the slope stretched by 1 / cos α), rounded half up to the centimetre, with
// the face's count; the kind is a suggestion (a rectangle on a pitched roof: Traufe, Ortgang,
// First, Ortgang; a flat roof: Attika/Dachrand all round), empty where nothing can be guessed.
struct OutlineSide {
    Hundredths length = 0;
    std::int32_t count = 1;
    std::optional<EdgeKind> suggestedKind;
};
// Empty for triangles, trapezoids and faces whose dimensions have an error.
std::vector<OutlineSide> outlineSides(const Face& face);

// The face's outline for a drawing: its corners in centimetres as the dimensions were taken (on
// the plan or along the slope), the eaves along y = 0 and y up the slope. A triangle's apex and a
// trapezoid's top side are centred over the base (where they sit changes no area), their x rounded
// down to the whole centimetre; a polygon's corners are its own. Empty when the face's dimensions
// have an error.
std::vector<Point> faceOutline(const Face& face);

// Numbers with two decimals as the user types them, with the sheet's decimal separator
// (NumberFormat::decimalSeparator): optional spaces, an optional sign where allowed, digits with
// at most one separator and at most two digits after it. `error` is a German message; `value` the
// number in hundredths ("10,5" → 1050).
struct ParsedHundredths {
    Hundredths value = 0;
    std::string error;
    bool ok() const { return error.empty(); }
};
ParsedHundredths parseHundredths(std::u16string_view text, char16_t separator,
                                 bool allowNegative = false);
// "1050" → "10,50", "-5" → "-0,05"; thousands are not grouped.
std::u16string formatHundredths(Hundredths value, char16_t separator);

} // namespace pyrelto
