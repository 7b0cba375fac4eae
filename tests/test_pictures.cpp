// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdint>
#include <utility>

#include "app/pictures.h"
#include "qt_test_app.h"

namespace {

class Pictures : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        ASSERT_TRUE(folder_.isValid());
    }

    // A file in a fresh folder holding `bytes`.
    QString fileWith(const QByteArray& bytes, const QString& name = "picture.jpg") {
        const QString path = folder_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // A plain picture of the given size, saved as PNG.
    QString pictureOfSize(int width, int height) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        const QString path = folder_.filePath(QString("%1x%2.png").arg(width).arg(height));
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    static QByteArray resource(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir folder_;
};

}  // namespace

// The resource holds our two JPEG files at their design sizes, and Qt's JPEG plugin reads
// them: without the plugin both boxes would stay blank.
TEST_F(Pictures, TheResourceHoldsBothJpegFilesAndQtDecodesThem) {
    for (const auto& [path, size] : {std::pair(":/pictures/splash.jpg", QSize(401, 264)),
                                     std::pair(":/pictures/page.jpg", QSize(200, 60))}) {
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), "jpeg") << path;
        EXPECT_EQ(reader.size(), size) << path;
    }
    const QImage page(":/pictures/page.jpg");
    ASSERT_EQ(page.size(), QSize(200, 60));
    // The orange rule under the name (rows 40 to 42 from x 60): red high, blue low. Swapped
    // colour channels would not land on it.
    const QColor rule = page.pixelColor(120, 41);
    EXPECT_GT(rule.red(), 200);
    EXPECT_LT(rule.blue(), 110);
    // The dark blue background in the bottom right corner: blue over red.
    const QColor background = page.pixelColor(198, 58);
    EXPECT_GT(background.blue(), background.red());
}

TEST_F(Pictures, TheSplashIsStretchedAndThePageScaledProportionally) {
    EXPECT_EQ(app::splashPicture().size(), QSize(321, 225));
    EXPECT_EQ(app::pagePicture().size(), QSize(92, 27));
    // A tall picture is bound by the box's height, the fraction of a pixel cut (9.2 -> 9);
    // one that fills the box exactly, or one already small enough, keeps its proportions.
    EXPECT_EQ(app::pagePicture(pictureOfSize(60, 200)).size(), QSize(9, 30));
    EXPECT_EQ(app::pagePicture(pictureOfSize(184, 60)).size(), QSize(92, 30));
    EXPECT_EQ(app::pagePicture(pictureOfSize(50, 20)).size(), QSize(50, 20));
    EXPECT_EQ(app::splashPicture(pictureOfSize(50, 20)).size(), QSize(321, 225));
}

TEST_F(Pictures, AMissingOrBrokenPictureLeavesItsBoxBlank) {
    EXPECT_TRUE(app::splashPicture(":/pictures/missing.jpg").isNull());
    EXPECT_TRUE(app::pagePicture(folder_.filePath("missing.jpg")).isNull());

    const QByteArray page = resource(":/pictures/page.jpg");
    ASSERT_FALSE(page.isEmpty());
    QByteArray garbage = page.left(2);  // a JPEG start followed by garbage
    for (std::uint32_t state = 12345; garbage.size() < 5000;)
        garbage.append(static_cast<char>((state = state * 1664525u + 1013904223u) >> 24));
    for (const QByteArray& bytes : {QByteArray(), page.left(100), garbage}) {
        const QString file = fileWith(bytes);
        EXPECT_TRUE(app::splashPicture(file).isNull()) << bytes.size() << " bytes";
        EXPECT_TRUE(app::pagePicture(file).isNull()) << bytes.size() << " bytes";
    }
}
