// The 1280 x 720 background pictures of the six slots: the title, four scenery pictures for
// the figures to dance in front of, and the closing picture.
#pragma once

#include "scene/show_facts.h"
#include "showgen/raster.h"

// A background fills the window.
constexpr int backgroundWidth = windowWidth;
constexpr int backgroundHeight = windowHeight;

Picture titleBackground();       // quimet
Picture underwaterBackground();  // kiv
Picture winterBackground();      // vastel
Picture stageBackground();       // doranek
Picture lagoonBackground();      // pilou
Picture closingBackground();     // logo

// The title's and the closing picture's scenery without their painted words, for cards that
// carry words of their own.
Picture titleBackdrop();    // quimet
Picture closingBackdrop();  // logo

// The background of slot 0 to 5 of the show's slot table, as the demo show has it.
Picture slotBackground(int slot);
