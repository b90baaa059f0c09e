// Every OpenGL call of the viewport: the shaders, the GPU buffers that hold the scene geometry,
// the drawing of one frame and the id drawing that picks groups and vertices. Buffers change
// only in Upload; a frame that only moved the camera draws from what they hold.
#pragma once

#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions_3_3_Compatibility>
#include <QPoint>
#include <QSize>
#include <QVector3D>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "view/Camera.h"
#include "view/SceneGeometry.h"

class QOpenGLFramebufferObject;
class QOpenGLShaderProgram;
class QOpenGLTexture;
class QOpenGLVertexArrayObject;

namespace tarvel::view {

// The mesh object's placement in the scene: the display scale on every axis.
QMatrix4x4 MeshModel();

// What a frame needs besides the geometry.
struct TFrame {
  QMatrix4x4 ViewProjection;  // scene coordinates to clip space
  QVector3D Light;
  QSize Pixels;  // of the framebuffer
  bool FaceCulling = true;
  bool BackFaceFill = false;
  bool Ground = true;
  float PointSize = kMaxPointSize;
  // The half edge of a vertex point, in mesh units, that shows 1.5 pixels at depth 1: no point
  // is drawn smaller than 3 pixels.
  float MinPointSizePerDepth = 0;
  // The faces take their soft-weight colours.
  bool ShowWeights = false;
};

// Vertex picks accept the nearest point shown within this many pixels of the cursor.
constexpr int kPointPickRadius = 4;

class TSceneRenderer : protected QOpenGLFunctions_3_3_Compatibility {
 public:
  TSceneRenderer();
  ~TSceneRenderer();
  TSceneRenderer(const TSceneRenderer&) = delete;
  TSceneRenderer& operator=(const TSceneRenderer&) = delete;

  // With the context current. False when it lacks OpenGL 3.3 with the compatibility functions;
  // the renderer then only clears the view.
  bool Initialize();
  bool Ready() const { return ready_; }
  // Frees every GL object; the context must be current.
  void Release();

  // Sends the geometry to the GPU buffers.
  void Upload(const TSceneGeometry& geometry);
  // How many times Upload ran.
  int Uploads() const { return uploads_; }
  // Sends only the soft-weight colours to the GPU.
  void UploadWeightColours(const TSceneGeometry& geometry);
  int WeightColourUploads() const { return weightUploads_; }

  // Draws one frame into the bound framebuffer and waits until OpenGL has finished.
  void Draw(const TFrame& frame, const TSceneGeometry& geometry, const TMultiObjData& live);

  // The pick id of the nearest group drawn in the 3 x 3 pixels around `pixel` (framebuffer
  // pixels, y down), or of the vertex point drawn nearest to it within kPointPickRadius; 0 for
  // none.
  std::uint32_t PickGroup(const TFrame& frame, const TSceneGeometry& geometry,
                          const TMultiObjData& live, QPoint pixel);
  std::uint32_t PickPoint(const TFrame& frame, const TSceneGeometry& geometry,
                          const TMultiObjData& live, QPoint pixel);

 private:
  enum class TPass { Shade, Id };
  void CreateStaticGeometry();
  // Binds the lit program for drawing with `model` placed in the scene.
  void UseLitProgram(const QMatrix4x4& viewProjection, const QMatrix4x4& model, const TFrame& frame,
                     TPass pass, bool textured, bool points);
  void Fill(QOpenGLBuffer& buffer, const void* data, std::size_t bytes);
  void SetState(const TFrame& frame);
  void DrawAxes(const QMatrix4x4& viewProjection, const TFrame& frame);
  void DrawGround(const QMatrix4x4& viewProjection, const TFrame& frame);
  void DrawGroups(const QMatrix4x4& viewProjection, const TFrame& frame,
                  const TSceneGeometry& geometry, const TMultiObjData& live, TPass pass);
  void DrawPoints(const QMatrix4x4& viewProjection, const TFrame& frame,
                  const TSceneGeometry& geometry, const TMultiObjData& live, TPass pass);
  void DrawLines(const QMatrix4x4& mvp, const TFrame& frame, QOpenGLBuffer& buffer,
                 std::span<const TLineBatch> batches);
  // The corners of `buffer` as attributes: draw vertices, or textured ones (the ground).
  void BindDrawVertices(QOpenGLBuffer& buffer, bool textured);
  void DrawIndexed(GLenum mode, const TIndexRange& range);
  void SetMeshPolygonMode(const TFrame& frame);
  // Draws ids through `draw` into a square target of (2 radius + 1) pixels around `pixel` and
  // returns the nearest one to the camera or, with `nearestToCursor`, to the cursor.
  std::uint32_t Pick(const TFrame& frame, QPoint pixel, int radius, bool nearestToCursor,
                     const std::function<void(const QMatrix4x4& viewProjection)>& draw);

  bool ready_ = false;
  int uploads_ = 0;
  int weightUploads_ = 0;
  std::unique_ptr<QOpenGLShaderProgram> meshProgram_;
  // The same without texture and ids, for the shaded surfaces.
  std::unique_ptr<QOpenGLShaderProgram> plainProgram_;
  // The one of the two that UseLitProgram bound.
  QOpenGLShaderProgram* lit_ = nullptr;
  std::unique_ptr<QOpenGLShaderProgram> lineProgram_;
  std::unique_ptr<QOpenGLVertexArrayObject> vao_;
  std::unique_ptr<QOpenGLTexture> groundTexture_;
  std::unique_ptr<QOpenGLFramebufferObject> pickTarget_;
  QOpenGLBuffer vertices_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer indices_{QOpenGLBuffer::IndexBuffer};
  QOpenGLBuffer weights_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer points_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer lines_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer cube_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer cubeIndices_{QOpenGLBuffer::IndexBuffer};
  QOpenGLBuffer ground_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer axes_{QOpenGLBuffer::VertexBuffer};
  std::vector<TLineBatch> axesBatches_;
};

}  // namespace tarvel::view
