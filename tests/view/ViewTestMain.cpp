// The viewport tests run GoogleTest inside a QApplication on a real display (Xvfb), so that
// the view draws with OpenGL.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
