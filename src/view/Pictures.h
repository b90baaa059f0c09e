// The viewport's pictures that need no OpenGL: the ground texture, the cursors, the camera-slot
// thumbnails and the snapshot file.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QCursor>
#include <QImage>
#include <string>

namespace tarvel::view {

constexpr int kThumbnailSize = 28;
constexpr int kSnapshotDpi = 96;

// The ground disk's texture: a light paving grid, 128 x 128.
QImage GroundPicture();
// The cursors of the panning and zoom cursor modes.
QCursor PanningCursor();
QCursor ZoomCursor();

// The picture as 24-bit colour at 96 dots per inch.
QImage AtSnapshotResolution(const QImage& picture);
// A camera-slot thumbnail: the picture scaled down, keeping its proportions, to fit 28 x 28,
// with its bottom-left pixel set to `background` so that a button draws that colour
// transparent.
QImage Thumbnail(const QImage& picture, const QColor& background);
// The bytes of a 24-bit BMP file of the picture at 96 dots per inch.
QByteArray BmpBytes(const QImage& picture);
// Writes BmpBytes to the file; the file is replaced only when everything was written.
// Raises EFileWrite with the system's reason.
void SaveBmp(const QImage& picture, const std::string& fileName);

}  // namespace tarvel::view
