#pragma once
// Comparing a rendered picture with its golden PNG under tests/chart/golden/. With
// NARVI_UPDATE_GOLDEN=1 set the picture replaces the golden instead; otherwise a picture
// that differs is written beside the test run as "<name>.actual.png" for review.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ChartControl.h"

namespace golden {

inline const std::filesystem::path Dir = NARVI_GOLDEN_DIR;

// True while the goldens are being rewritten rather than compared.
inline bool Updating() { return std::getenv("NARVI_UPDATE_GOLDEN") != nullptr; }

// Pixels that differ between two pictures of the same size; the first one found is
// left in firstX, firstY (untouched when none differs).
inline int CountDifferences(const TBitmap& a, const TBitmap& b, int& firstX, int& firstY) {
    int differ = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y) && differ++ == 0) {
                firstX = x;
                firstY = y;
            }
    return differ;
}

inline int CountDifferences(const TBitmap& a, const TBitmap& b) {
    int x = -1, y = -1;
    return CountDifferences(a, b, x, y);
}

// Compares image with the golden "<name>.png", or rewrites that golden while updating.
inline void Check(const TBitmap& image, const std::string& name) {
    const std::string file = (Dir / (name + ".png")).string();
    if (Updating()) {
        std::filesystem::create_directories(Dir);
        ASSERT_TRUE(SaveBitmapToPng(image, file));
        return;
    }
    TBitmap golden;
    ASSERT_TRUE(LoadBitmapFromPng(golden, file)) << file << " (run with NARVI_UPDATE_GOLDEN=1 to create it)";
    ASSERT_EQ(golden.Width(), image.Width());
    ASSERT_EQ(golden.Height(), image.Height());
    int fx = -1, fy = -1;
    const int differ = CountDifferences(golden, image, fx, fy);
    if (differ) SaveBitmapToPng(image, name + ".actual.png");
    EXPECT_EQ(differ, 0) << "first difference at " << fx << "," << fy << "; picture written to " << name
                         << ".actual.png";
}

}  // namespace golden
