// Units: lengths between pixels, twips, HIMETRIC and the container's units, per axis.
//
// Forms measure their controls in twips (1/1440 inch), so container position and size
// units are twips here. Pixels follow the screen's dots per inch on each axis (96 gives 15
// twips per pixel).
#pragma once

namespace Units {

// The numbers are the customary scale-mode codes that controls pass around.
enum class Unit {
    Twips = 1,
    Points = 2,
    Pixels = 3,
    Characters = 4,  // 120 twips across, 240 down
    Inches = 5,
    Millimeters = 6,
    Centimeters = 7,
    Himetric = 8,
    ContainerPosition = 9,
    ContainerSize = 10,
};

enum class Axis { X, Y };

// Converts `value` between units along `axis`; ControlError 5 for an unknown unit.
double Convert(double value, Unit from, Unit to, Axis axis);

// The screen's dots per inch on an axis (96 when the screen cannot be asked).
int Dpi(Axis axis);

// Twips in one pixel along an axis (15 at 96 dots per inch).
double TwipsPerPixel(Axis axis);

// Whole pixels for a length in twips, rounded to the nearest (halves away from zero), and
// back.
int TwipsToPixels(double twips, Axis axis);
double PixelsToTwips(double pixels, Axis axis);

}  // namespace Units
