#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "assets/pictures.h"
#include "platform/jpeg.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes copyOf(std::span<const unsigned char> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

struct FrameHeader {
    int marker = 0;
    int precision = 0;
    int width = 0;
    int height = 0;
    int components = 0;
};

// Walks the marker segments up to the first frame header (SOFn).
FrameHeader frameHeader(std::span<const unsigned char> file) {
    std::size_t i = 2;
    while (i + 9 < file.size() && file[i] == 0xFF) {
        const int marker = file[i + 1];
        const std::size_t length = (file[i + 2] << 8) | file[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            return {marker, file[i + 4], (file[i + 7] << 8) | file[i + 8],
                    (file[i + 5] << 8) | file[i + 6], file[i + 9]};
        }
        i += 2 + length;
    }
    return {};
}

std::size_t frameHeaderOffset(const Bytes& file) {
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xC0) return i;
    return 0;
}

const std::uint8_t* pixelAt(const platform::RgbImage& image, int x, int y) {
    return image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
}

}  // namespace

TEST(EmbeddedPictures, AreBaselineJfifWithThreeEightBitComponents) {
    for (auto [file, width, height] :
         {std::tuple{assets::splashJpeg(), 401, 264}, std::tuple{assets::pageJpeg(), 200, 60}}) {
        ASSERT_GT(file.size(), 20u);
        EXPECT_EQ(file[0], 0xFF);
        EXPECT_EQ(file[1], 0xD8);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()) + 6, 5),
                  std::string("JFIF\0", 5));
        const auto frame = frameHeader(file);
        EXPECT_EQ(frame.marker, 0xC0) << "baseline sequential";
        EXPECT_EQ(frame.precision, 8);
        EXPECT_EQ(frame.components, 3);
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
    }
}

TEST(JpegDecoding, DecodesTheEmbeddedPicturesToPackedRgb) {
    const auto splash = platform::decodeJpeg(assets::splashJpeg());
    ASSERT_EQ(splash.width, 401);
    ASSERT_EQ(splash.height, 264);
    EXPECT_EQ(splash.pixels.size(), 401u * 264u * 3u);

    const auto page = platform::decodeJpeg(assets::pageJpeg());
    ASSERT_EQ(page.width, 200);
    ASSERT_EQ(page.height, 60);
    // The orange rule under the name (rows 40 to 42 from x 60): red high, blue low. A
    // decoder that handed back BGR, or a wrong row stride, would not land on it.
    const auto* rule = pixelAt(page, 120, 41);
    EXPECT_GT(rule[0], 200);
    EXPECT_LT(rule[2], 110);
    // The dark blue background in the bottom right corner: blue over red.
    const auto* background = pixelAt(page, 198, 58);
    EXPECT_GT(background[2], background[0]);
}

TEST(JpegDecoding, TruncatedPictureIsEmptyAtEveryLength) {
    const Bytes whole = copyOf(assets::pageJpeg());
    for (std::size_t length = 0; length < whole.size(); length += 97) {
        const auto image = platform::decodeJpeg(std::span(whole.data(), length));
        EXPECT_TRUE(image.empty()) << "cut at " << length;
        EXPECT_TRUE(image.pixels.empty());
    }
    // Only the end-of-image marker missing: libjpeg alone would fill in and carry on.
    const auto almost = platform::decodeJpeg(std::span(whole.data(), whole.size() - 2));
    EXPECT_TRUE(almost.empty());
}

TEST(JpegDecoding, GarbageAndEmptyInputAreEmpty) {
    EXPECT_TRUE(platform::decodeJpeg({}).empty());
    Bytes garbage(5000);
    std::uint32_t state = 12345;
    for (auto& b : garbage) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(state >> 24);
    }
    EXPECT_TRUE(platform::decodeJpeg(garbage).empty());
    // A JPEG start followed by garbage.
    garbage[0] = 0xFF;
    garbage[1] = 0xD8;
    EXPECT_TRUE(platform::decodeJpeg(garbage).empty());
}

TEST(JpegDecoding, CorruptScanDataNeverCrashesAndKeepsItsSize) {
    const Bytes whole = copyOf(assets::splashJpeg());
    for (std::size_t at = whole.size() / 4; at < whole.size() - 2; at += whole.size() / 9) {
        Bytes damaged = whole;
        for (std::size_t i = at; i < at + 64 && i < damaged.size() - 2; ++i) damaged[i] ^= 0x5A;
        const auto image = platform::decodeJpeg(damaged);
        // Damage libjpeg notices gives an empty picture; damage it cannot see decodes to a
        // picture of the right size with wrong colours. Never anything else.
        if (!image.empty()) {
            EXPECT_EQ(image.width, 401);
            EXPECT_EQ(image.pixels.size(), 401u * 264u * 3u);
        }
    }
}

TEST(JpegDecoding, ForgedHugeDimensionsAreRefusedBeforeAllocating) {
    Bytes forged = copyOf(assets::pageJpeg());
    const std::size_t sof = frameHeaderOffset(forged);
    ASSERT_NE(sof, 0u);
    // Height and width 65000 x 65000: about 12 GB of pixels if believed.
    for (std::size_t i : {sof + 5, sof + 7}) {
        forged[i] = 0xFD;
        forged[i + 1] = 0xE8;
    }
    EXPECT_TRUE(platform::decodeJpeg(forged).empty());
}

TEST(ProportionalFit, PagePictureFitsTheBoxAtNinetyTwoByTwentySeven) {
    EXPECT_EQ(platform::proportionalFit({200, 60}, {92, 30}), (platform::PictureSize{92, 27}));
}

TEST(ProportionalFit, HeightLimitedAndSmallPictures) {
    // Tall picture: the height decides, the width is cut down (9.2 -> 9).
    EXPECT_EQ(platform::proportionalFit({60, 200}, {92, 30}), (platform::PictureSize{9, 30}));
    // A picture that fits is not enlarged.
    EXPECT_EQ(platform::proportionalFit({50, 20}, {92, 30}), (platform::PictureSize{50, 20}));
    EXPECT_EQ(platform::proportionalFit({92, 30}, {92, 30}), (platform::PictureSize{92, 30}));
    // Same aspect as the box: both sides reach it exactly.
    EXPECT_EQ(platform::proportionalFit({184, 60}, {92, 30}), (platform::PictureSize{92, 30}));
    EXPECT_EQ(platform::proportionalFit({0, 60}, {92, 30}), (platform::PictureSize{}));
}
