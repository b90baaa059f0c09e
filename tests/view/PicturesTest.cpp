#include "view/Pictures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <vector>

#include "TestSupport.h"
#include "mesh/SafeFile.h"

namespace tarvel::view {
namespace {

using test::Hex;
using test::ToHex;
using test::TTempDir;

std::vector<std::uint8_t> ToBytes(const QByteArray& a) { return {a.begin(), a.end()}; }

QImage TwoByTwo() {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixelColor(0, 0, Qt::red);
  image.setPixelColor(1, 0, Qt::green);
  image.setPixelColor(0, 1, Qt::blue);
  image.setPixelColor(1, 1, Qt::white);
  return image;
}

TEST(PicturesTest, BmpIs24BitAt96Dpi) {
  const std::vector<std::uint8_t> expected =
      Hex("42 4d 46 00 00 00 00 00 00 00 36 00 00 00"        // file header, 70 bytes
          "28 00 00 00 02 00 00 00 02 00 00 00 01 00 18 00"  // 2 x 2, 24 bits
          "00 00 00 00 10 00 00 00 c4 0e 00 00 c4 0e 00 00"  // 3780 dots per metre
          "00 00 00 00 00 00 00 00"
          "ff 00 00 ff ff ff 00 00"    // bottom row: blue, white
          "00 00 ff 00 ff 00 00 00");  // top row: red, green
  const std::vector<std::uint8_t> bytes = ToBytes(BmpBytes(TwoByTwo()));
  EXPECT_EQ(bytes, expected) << ToHex(bytes);
}

TEST(PicturesTest, SaveBmpWritesTheFileOrRaises) {
  TTempDir dir;
  const std::string file = (dir.Path() / "shot.bmp").string();
  SaveBmp(TwoByTwo(), file);
  QFile f(QString::fromStdString(file));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), BmpBytes(TwoByTwo()));
  EXPECT_THROW(SaveBmp(TwoByTwo(), (dir.Path() / "no" / "shot.bmp").string()), EFileWrite);
}

TEST(PicturesTest, ThumbnailFitsTheSlotAndMarksTheTransparentColour) {
  struct TCase {
    int W, H;
    QSize Size;
  };
  const QColor teal(0, 128, 128);
  for (const TCase& c : {TCase{640, 480, {28, 21}}, TCase{100, 400, {7, 28}},
                         TCase{28, 28, {28, 28}}, TCase{1000, 10, {28, 1}}}) {
    QImage picture(c.W, c.H, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    const QImage thumb = Thumbnail(picture, teal);
    EXPECT_EQ(thumb.size(), c.Size) << c.W << "x" << c.H;
    EXPECT_EQ(thumb.pixelColor(0, thumb.height() - 1), teal);
    EXPECT_EQ(thumb.pixelColor(thumb.width() - 1, 0), QColor(Qt::yellow));
  }
  EXPECT_TRUE(Thumbnail(QImage(), teal).isNull());
}

}  // namespace
}  // namespace tarvel::view
