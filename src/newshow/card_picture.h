// A title or closing card: the words' ink laid over a backdrop, with a soft shadow under it and
// a glow around it so that they read on any picture.
#pragma once

#include "newshow/card_text.h"
#include "showgen/raster.h"

struct CardStyle {
    Colour ink;   // the words
    Colour glow;  // the light around them
};

constexpr CardStyle titleCardStyle = {{1.0f, 0.957f, 1.0f}, {1.0f, 0.314f, 0.784f}};
constexpr CardStyle closingCardStyle = {{1.0f, 0.91f, 0.973f}, {0.565f, 0.439f, 1.0f}};

// Lays `text` (of the card's size) over `card`.
void layCardText(Picture& card, const TextCoverage& text, const CardStyle& style);
