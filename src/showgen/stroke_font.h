// A small stroke font for titles: capitals, digits and a little punctuation, drawn as round
// strokes from a distance field so that text can be crisp, bold or glowing.
#pragma once

#include <string>
#include <vector>

#include "showgen/raster.h"

struct TextField {
    int width = 0;
    int height = 0;
    std::vector<float> distance;  // pixels from the nearest stroke centre line, per pixel
};

// Width in pixels of `text` at a cap height of `capHeight` pixels.
double textWidth(const std::string& text, double capHeight);

// Distance field of `text` with its top-left corner at (left, top), over a picture of the
// given size; pixels farther than `reach` from every stroke hold `reach`.
TextField textField(int width, int height, const std::string& text, double left, double top,
                    double capHeight, double reach);

// Paints `text` centred on column `centreX`: a soft glow of `glowColour` out to `glowRadius`
// pixels around strokes of half-width `strokeHalfWidth` filled with `colour`.
void paintText(Picture& picture, const std::string& text, double centreX, double top,
               double capHeight, double strokeHalfWidth, const Colour& colour,
               const Colour& glowColour, double glowRadius, float glowStrength);
