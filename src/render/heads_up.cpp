#include "render/heads_up.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/overlay.h"
#include "stb_easy_font.h"

namespace {

constexpr float fontScale = 2.0f;
constexpr float bandPadding = 6.0f;  // window pixels between the band's edge and the text
constexpr size_t maxCharacters = 200;
// The font's longest glyph uses fewer segments than this; a longer result would be cut short by
// the font itself, never written past the buffer.
constexpr size_t bytesPerCharacter = 1024;
constexpr size_t bytesPerVertex = 16;  // x, y, z as floats, then four colour bytes

// The font indexes its tables by character code minus 32 and reads one entry beyond, so only
// codes 32 to 126 are safe to hand it; a newline would start a second line under the band.
// Returns the length written to `line`, which holds maxCharacters + 1 bytes.
size_t printableLine(const char* text, char* line) {
    size_t length = 0;
    if (text != nullptr) {
        for (; length < maxCharacters && text[length] != '\0'; ++length) {
            const unsigned char c = (unsigned char)text[length];
            line[length] = c >= 32 && c <= 126 ? char(c) : '?';
        }
    }
    line[length] = '\0';
    return length;
}

}  // namespace

void drawHeadsUpLine(const char* text, int32_t viewportWidth, int32_t viewportHeight) {
    // On the stack: the line is drawn every frame, and nothing of it outlives the call.
    char line[maxCharacters + 1];
    const size_t length = printableLine(text, line);
    if (length == 0 || viewportWidth <= 0 || viewportHeight <= 0) return;

    float vertices[maxCharacters * bytesPerCharacter / sizeof(float)];
    const int quads =
        stb_easy_font_print(0.0f, 0.0f, line, nullptr, vertices, int(length * bytesPerCharacter));
    const float textWidth = float(stb_easy_font_width(line));
    const float textHeight = float(stb_easy_font_height(line));

    beginOverlay(viewportWidth, viewportHeight);

    // The band darkens whatever is behind it, so light text reads over a white picture too.
    const float bandWidth = fontScale * textWidth + 2.0f * bandPadding;
    const float bandHeight = fontScale * textHeight + 2.0f * bandPadding;
    glColor4f(0.0f, 0.0f, 0.0f, 0.65f);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(bandWidth, 0.0f);
    glVertex2f(bandWidth, bandHeight);
    glVertex2f(0.0f, bandHeight);
    glEnd();

    glTranslatef(bandPadding, bandPadding, 0.0f);
    glScalef(fontScale, fontScale, 1.0f);
    glColor4f(1.0f, 1.0f, 0.9f, 1.0f);
    const size_t floatsPerVertex = bytesPerVertex / sizeof(float);
    glBegin(GL_QUADS);
    for (size_t v = 0; v < size_t(quads) * 4; ++v) {
        glVertex2f(vertices[v * floatsPerVertex], vertices[v * floatsPerVertex + 1]);
    }
    glEnd();

    endOverlay();
}
