#include "app/StartUp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "TestSupport.h"

namespace tarvel::test {
namespace {

QString Path(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

TEST(StartUpTest, IniFileLiesBesideTheExecutableWhenItsFolderIsWritable) {
  TTempDir dir;
  const QString fallback = Path(dir.Path() / "config");
  EXPECT_EQ(IniFileName(Path(dir.Path() / "tarvel"), fallback), Path(dir.Path() / "tarvel.ini"));
  EXPECT_EQ(IniFileName(Path(dir.Path() / "tarvel.exe"), fallback),
            Path(dir.Path() / "tarvel.ini"));
  // A folder that cannot take the file: the user's configuration folder.
  EXPECT_EQ(IniFileName(Path(dir.Path() / "missing" / "tarvel"), fallback),
            Path(dir.Path() / "config" / "tarvel.ini"));
}

TEST(StartUpTest, PlacementRoundTripsThroughTheIniFile) {
  TTempDir dir;
  const QString file = Path(dir.Path() / "tarvel.ini");
  const TPlacement cases[] = {
      {QRect(10, 20, 800, 600), false, 142, 121},
      {QRect(-5, 0, 1280, 1000), true, 300, 250},
  };
  for (const TPlacement& p : cases) {
    {
      QSettings ini(file, QSettings::IniFormat);
      WritePlacement(ini, p, 96);
    }
    QSettings ini(file, QSettings::IniFormat);
    const std::optional<TPlacement> back = ReadPlacement(ini);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, p);
    EXPECT_EQ(ini.value("FormMain/ShowCmd").toInt(), p.Maximized ? 3 : 1);
    EXPECT_EQ(ini.value("FormMain/PixelsPerInch").toInt(), 96);
    for (const char* key : {"Flags", "MinMaxPos", "FormVersion"})
      EXPECT_TRUE(ini.contains(QString("FormMain/") + key)) << key;
  }
}

TEST(StartUpTest, PlacementReadsPlainIniTextAndIgnoresGarbage) {
  TTempDir dir;
  const struct {
    const char* Text;
    bool Found;
    QRect Normal;
  } cases[] = {
      {"[FormMain]\nNormPos=10,20,810,620\nTree.Width=150\n", true, QRect(10, 20, 800, 600)},
      {"[FormMain]\nNormPos=\"1,2,101,202\"\n", true, QRect(1, 2, 100, 200)},
      {"[FormMain]\nNormPos=1,2,3\n", false, {}},
      {"[FormMain]\nNormPos=a,b,c,d\n", false, {}},
      {"[Other]\nNormPos=1,2,3,4\n", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    QSettings ini(QString::fromStdString(dir.Write("t.ini", c.Text)), QSettings::IniFormat);
    const std::optional<TPlacement> p = ReadPlacement(ini);
    ASSERT_EQ(p.has_value(), c.Found);
    if (p) {
      EXPECT_EQ(p->Normal, c.Normal);
    }
  }
}

TEST(StartUpTest, RegistryValuesNameTheProgramAndItsVersion) {
  TTempDir dir;
  QSettings settings(Path(dir.Path() / "registry.ini"), QSettings::IniFormat);
  WriteRegistryValues(settings, Path(dir.Path() / "bin" / "tarvel"));
  EXPECT_EQ(settings.value("Path").toString(), Path(dir.Path() / "bin" / "tarvel"));
  EXPECT_EQ(settings.value("Ver").toString(), "000100");
}

TEST(StartUpTest, RecentFilesKeepTenNewestFirstAndRoundTrip) {
  TTempDir dir;
  TRecentFiles recent;
  for (int i = 0; i < 12; ++i) recent.Add(Path(dir.Path() / ("f" + std::to_string(i) + ".obj")));
  ASSERT_EQ(recent.Items().size(), TRecentFiles::kCapacity);
  EXPECT_EQ(recent.Items().front(), Path(dir.Path() / "f11.obj"));
  EXPECT_EQ(recent.Items().back(), Path(dir.Path() / "f2.obj"));
  // Adding a listed file moves it to the top.
  recent.Add(Path(dir.Path() / "f5.obj"));
  EXPECT_EQ(recent.Items().front(), Path(dir.Path() / "f5.obj"));
  EXPECT_EQ(recent.Items().size(), TRecentFiles::kCapacity);
  EXPECT_EQ(recent.Items().count(Path(dir.Path() / "f5.obj")), 1);

  const QString file = Path(dir.Path() / "tarvel.ini");
  {
    QSettings ini(file, QSettings::IniFormat);
    recent.Write(ini);
  }
  QSettings ini(file, QSettings::IniFormat);
  EXPECT_EQ(ini.value("RecentFiles/Item_0").toString(), Path(dir.Path() / "f5.obj"));
  EXPECT_TRUE(ini.contains("RecentFiles/User_0"));
  TRecentFiles back;
  back.Read(ini);
  EXPECT_EQ(back.Items(), recent.Items());
}

TEST(StartUpTest, TutorialsAreTheChmFilesCaptionedWithoutTheirExtension) {
  const struct {
    const char* File;
    const char* Caption;
  } captions[] = {
      {"/x/Tutorials/Intro.chm", "Intro"},
      {"Basics.CHM", "Basics"},
      {"a.Chm.old.chm", "a"},
      {"no extension", "no extension"},
  };
  for (const auto& c : captions) EXPECT_EQ(TutorialCaption(c.File), c.Caption) << c.File;

  TTempDir dir;
  EXPECT_TRUE(FindTutorials(Path(dir.Path() / "Tutorials")).isEmpty());
  std::filesystem::create_directories(dir.Path() / "Tutorials");
  dir.Write("Tutorials/one.chm", "");
  dir.Write("Tutorials/two.CHM", "");
  dir.Write("Tutorials/three.txt", "");
  QStringList found = FindTutorials(Path(dir.Path() / "Tutorials"));
  found.sort();
  EXPECT_EQ(found, (QStringList{Path(dir.Path() / "Tutorials" / "one.chm"),
                                Path(dir.Path() / "Tutorials" / "two.CHM")}));
  EXPECT_EQ(TutorialsFolder(Path(dir.Path())), Path(dir.Path() / "Tutorials"));
}

TEST(StartUpTest, CursorsArePicturesWithTheirHotSpots) {
  for (const char* name : {"MAGNIF", "PANNING"}) {
    SCOPED_TRACE(name);
    const QCursor cursor = LoadCursor(name);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    const QImage picture = cursor.pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    int drawn = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) drawn += qAlpha(picture.pixel(x, y)) > 0;
    EXPECT_GT(drawn, 100);
    EXPECT_LT(drawn, 32 * 32);
  }
  EXPECT_EQ(LoadCursor("MAGNIF").hotSpot(), QPoint(12, 12));
}

TEST(StartUpTest, SplashIsCentredAndClosesItselfAfterFourSeconds) {
  QPointer<TFormSplash> splash = new TFormSplash;
  splash->show();
  EXPECT_EQ(splash->size(), QSize(342, 197));
  const QPoint off =
      splash->geometry().center() - QApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE(off.manhattanLength(), 2);
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  ASSERT_TRUE(splash->Timer()->isActive());
  EXPECT_TRUE(splash->Timer()->isSingleShot());
  EXPECT_EQ(splash->Timer()->interval(), 4000);
  // Its picture is drawn.
  const QImage shown = splash->grab().toImage();
  EXPECT_NE(shown.pixelColor(5, 5), shown.pixelColor(300, 150));

  splash->Timer()->start(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 2000)) << "closing frees it";
}

}  // namespace
}  // namespace tarvel::test
