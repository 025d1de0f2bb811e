#pragma once
// The README's take-off example (a gable roof with two skylights and a chimney, an L-shaped
// garage roof measured on the plan, an upstand), for the printed pages. Net area 157,22 m².

#include "takeoff.h"

namespace pyrelto::test {

inline TakeOff readmeTakeOff() {
    Face roof;
    roof.name = u"Hauptdach";
    roof.a = 1000;
    roof.b = 650;
    roof.count = 2;
    roof.pitch = 4000;
    roof.openings = {{u"Dachfenster", 78, 140, 2}, {u"Schornstein", 100, 100, 1}};
    roof.edges = {
        {EdgeKind::Traufe, 1000, 2}, {EdgeKind::Ortgang, 650, 4}, {EdgeKind::First, 1000, 1}};
    Face garage;
    garage.name = u"Garage";
    garage.shape = FaceShape::Polygon;
    garage.points = {{0, 0}, {600, 0}, {600, 300}, {400, 300}, {400, 500}, {0, 500}};
    garage.measured = Measured::OnPlan;
    garage.pitch = 300;
    garage.openings = {{u"Lichtkuppel", 120, 120, 1}};
    garage.edges = {{EdgeKind::Wandanschluss, 600, 1}};
    TakeOff takeOff;
    takeOff.faces = {roof, garage};
    takeOff.upstands = {{u"Attika Garage", 1600, 30, 1}};
    return takeOff;
}

} // namespace pyrelto::test
