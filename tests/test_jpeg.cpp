// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "assets/pictures.h"
#include "platform/jpeg.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes copyOf(std::span<const unsigned char> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

const std::uint8_t* pixelAt(const platform::RgbImage& image, int x, int y) {
    return image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
}

}  // namespace

TEST(JpegDecoding, DecodesTheEmbeddedPicturesToPackedRgb) {
    const auto splash = platform::decodeJpeg(assets::splashJpeg());
    EXPECT_EQ(std::tuple(splash.width, splash.height, splash.pixels.size()),
              std::tuple(401, 264, 401u * 264u * 3u));

    const auto page = platform::decodeJpeg(assets::pageJpeg());
    ASSERT_EQ(std::pair(page.width, page.height), std::pair(200, 60));
    // The orange rule under the name (rows 40 to 42 from x 60): red high, blue low. A
    // decoder that handed back BGR, or a wrong row stride, would not land on it.
    const auto* rule = pixelAt(page, 120, 41);
    EXPECT_GT(rule[0], 200);
    EXPECT_LT(rule[2], 110);
    // The dark blue background in the bottom right corner: blue over red.
    const auto* background = pixelAt(page, 198, 58);
    EXPECT_GT(background[2], background[0]);
}

TEST(JpegDecoding, TruncatedEmptyOrGarbageInputIsEmpty) {
    const Bytes whole = copyOf(assets::pageJpeg());
    for (std::size_t length = 0; length < whole.size(); length += 97) {
        const auto image = platform::decodeJpeg(std::span(whole.data(), length));
        EXPECT_TRUE(image.empty() && image.pixels.empty()) << "cut at " << length;
    }
    // Only the end-of-image marker missing: libjpeg alone would fill in and carry on.
    EXPECT_TRUE(platform::decodeJpeg(std::span(whole.data(), whole.size() - 2)).empty());

    Bytes garbage{0xFF, 0xD8};  // a JPEG start followed by garbage
    for (std::uint32_t state = 12345; garbage.size() < 5000;)
        garbage.push_back(
            static_cast<unsigned char>((state = state * 1664525u + 1013904223u) >> 24));
    EXPECT_TRUE(platform::decodeJpeg(garbage).empty());
}

TEST(JpegDecoding, ForgedHugeDimensionsAreRefusedBeforeAllocating) {
    Bytes forged = copyOf(assets::pageJpeg());
    std::size_t sof = 0;  // the baseline frame header
    while (sof + 1 < forged.size() && !(forged[sof] == 0xFF && forged[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, forged.size());
    // Height and width 65000 x 65000: about 12 GB of pixels if believed.
    for (std::size_t i : {sof + 5, sof + 7}) {
        forged[i] = 0xFD;
        forged[i + 1] = 0xE8;
    }
    EXPECT_TRUE(platform::decodeJpeg(forged).empty());
}

TEST(ProportionalFit, TheSmallerRatioDecidesAndSmallPicturesStay) {
    using platform::PictureSize;
    EXPECT_EQ(platform::proportionalFit({200, 60}, {92, 30}), (PictureSize{92, 27}));
    EXPECT_EQ(platform::proportionalFit({60, 200}, {92, 30}), (PictureSize{9, 30}));  // 9.2 cut
    EXPECT_EQ(platform::proportionalFit({50, 20}, {92, 30}), (PictureSize{50, 20}));
    EXPECT_EQ(platform::proportionalFit({184, 60}, {92, 30}), (PictureSize{92, 30}));
    EXPECT_EQ(platform::proportionalFit({0, 60}, {92, 30}), (PictureSize{}));
}
