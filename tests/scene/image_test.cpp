#include "scene/image.h"

#include <gtest/gtest.h>

#include <vector>

#include "show_folder.h"

TEST(Image, CreatedZeroFilledWithPackedRows) {
    ImagePtr image(createImage(3, 5, 3));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(image->height, 3);
    EXPECT_EQ(image->channels, 3);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(image->rows[y], image->pixels + y * 15);
    EXPECT_EQ(std::vector<unsigned char>(image->pixels, image->pixels + 45),
              std::vector<unsigned char>(45, 0));
}

TEST(Image, DecodedToTheChannelsAskedFor) {
    TempFolder folder;
    // A colour picture of 3 x 2 with one white pixel in the second row.
    std::vector<unsigned char> rgb(3 * 2 * 3, 0);
    rgb[(1 * 3 + 2) * 3 + 0] = 255;
    rgb[(1 * 3 + 2) * 3 + 1] = 255;
    rgb[(1 * 3 + 2) * 3 + 2] = 255;
    writePng(folder.file("colour.png"), 3, 2, 3, rgb);

    ImagePtr grey(loadImage(folder.file("colour.png").c_str(), 1));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->channels, 1);
    EXPECT_EQ(grey->rows[1], grey->pixels + 3);
    EXPECT_EQ(grey->rows[1][2], 255);
    EXPECT_EQ(grey->rows[0][2], 0);

    ImagePtr colour(loadImage(folder.file("colour.png").c_str(), 3));
    ASSERT_TRUE(colour);
    EXPECT_EQ(std::vector<unsigned char>(colour->pixels, colour->pixels + rgb.size()), rgb);

    EXPECT_FALSE(loadImage(folder.file("absent.png").c_str(), 3));
    writeTextFile(folder.file("text.png"), "not a picture");
    EXPECT_FALSE(loadImage(folder.file("text.png").c_str(), 1));
    // The decoder knows one to four channels only.
    EXPECT_FALSE(loadImage(folder.file("colour.png").c_str(), 5));
}
