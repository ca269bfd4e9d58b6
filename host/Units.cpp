#include "host/Units.h"

#include <windows.h>

#include <cmath>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"

namespace Units {

namespace {

struct ScreenDpi {
    int x = 96;
    int y = 96;
};

// The screen's resolution does not change while the program runs (the process is not
// per-monitor aware), so it is read once.
const ScreenDpi& Screen() {
    static const ScreenDpi dpi = [] {
        ScreenDpi d;
        if (const int x = Common::DPI_X(); x > 0) d.x = x;
        if (const int y = Common::DPI_Y(); y > 0) d.y = y;
        return d;
    }();
    return dpi;
}

// Twips in one unit; pixels depend on the axis.
double TwipsPer(Unit unit, Axis axis) {
    switch (unit) {
        case Unit::Twips:
        case Unit::ContainerPosition:
        case Unit::ContainerSize:
            return 1.0;
        case Unit::Points:
            return 20.0;
        case Unit::Pixels:
            return 1440.0 / Dpi(axis);
        case Unit::Characters:
            return axis == Axis::X ? 120.0 : 240.0;
        case Unit::Inches:
            return 1440.0;
        case Unit::Millimeters:
            return 1440.0 / 25.4;
        case Unit::Centimeters:
            return 1440.0 / 2.54;
        case Unit::Himetric:
            return 1440.0 / 2540.0;
    }
    ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
}

}  // namespace

int Dpi(Axis axis) {
    return axis == Axis::X ? Screen().x : Screen().y;
}

double Convert(double value, Unit from, Unit to, Axis axis) {
    if (from == to) return value;
    return value * TwipsPer(from, axis) / TwipsPer(to, axis);
}

double TwipsPerPixel(Axis axis) {
    return 1440.0 / Dpi(axis);
}

int TwipsToPixels(double twips, Axis axis) {
    return static_cast<int>(std::lround(twips * Dpi(axis) / 1440.0));
}

double PixelsToTwips(double pixels, Axis axis) {
    return pixels * 1440.0 / Dpi(axis);
}

}  // namespace Units
