#include "merge/rest_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_rows.h"

namespace {

std::vector<RowLine> rowLines(const std::string& text) {
    std::vector<RowLine> lines;
    for (const std::string& line : linesOf(text)) {
        RowLine row;
        row.text = line;
        EXPECT_TRUE(parseKeyframeRow(line, row.row)) << line;
        lines.push_back(row);
    }
    return lines;
}

std::string textOf(const std::vector<RowLine>& lines) {
    std::string text;
    for (const RowLine& line : lines) text += line.text + "\n";
    return text;
}

TEST(RestRows, EachRunOfTheSlotGivesWayToRestRowsAtItsEnds) {
    // Vertex 2 of slot 1 at (3, 0, 0): its rest rows read as row(t, 1, 2, 3).
    const RestPin pin{2, 3.0f, 0.0f, 0.0f};
    const struct {
        const char* name;
        std::string script;
        std::string result;
        size_t replaced, written;
        std::string said;
    } cases[] = {
        {"runs between other slots' rows",
         row(1, 1, 0, 0) + row(2, 1, 5, 0) + row(3, 1, 0, 0) + row(4, 2, 0, 7) + row(5, 1, 9, 0) +
             row(6, 2, 0, 7) + row(7, 1, 0, 0) + row(8, 1, 4, 0),
         row(1, 1, 2, 3) + row(3, 1, 2, 3) + row(4, 2, 0, 7) + row(5, 1, 2, 3) + row(6, 2, 0, 7) +
             row(7, 1, 2, 3) + row(8, 1, 2, 3),
         6, 5, "the 6 rows of slot 1 (kiv), 1.00-8.00 s"},
        {"a run of one row", row(1, 2, 0, 7) + row(2, 1, 8, 0) + row(3, 2, 0, 7),
         row(1, 2, 0, 7) + row(2, 1, 2, 3) + row(3, 2, 0, 7), 1, 1,
         "the 1 row of slot 1 (kiv), 2.00-2.00 s"},
        {"no rows of the slot", row(1, 2, 0, 7) + row(2, 3, 0, 7),
         row(1, 2, 0, 7) + row(2, 3, 0, 7), 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RowLine> script = rowLines(c.script);
        const ClearedRows cleared = clearSlotRows(script, 1, pin);
        EXPECT_EQ(textOf(script), c.result);
        EXPECT_EQ(cleared.replaced, c.replaced);
        EXPECT_EQ(cleared.written, c.written);
        if (c.replaced > 0) {
            EXPECT_EQ(describeClearedRows(cleared, 1), c.said);
        }
        // The rows hold what their text says, as the show reads them back.
        for (const RowLine& line : script) {
            Keyframe read;
            ASSERT_TRUE(parseKeyframeRow(line.text, read));
            EXPECT_EQ(read.vertex, line.row.vertex);
            EXPECT_EQ(read.x, line.row.x);
        }
    }
}

}  // namespace
