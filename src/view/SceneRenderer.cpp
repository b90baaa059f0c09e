#include "view/SceneRenderer.h"

#include <QByteArray>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLVertexArrayObject>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "view/Pictures.h"

namespace tarvel::view {

namespace {

// Attribute locations shared by the programs.
enum : GLuint {
  kPosition = 0,
  kNormal = 1,
  kTex = 2,
  kColour = 3,
  kCentre = 4,
  kStart = 5,
};

constexpr float kGroundRadius = 3;
constexpr int kGroundSlices = 8;
constexpr float kAxisLength = 3;

// Faces, boxes and the ground; with uPoints the little cubes of the vertex points, one instance
// per point, of half edge uSize around its centre. In the id pass the points are drawn once more
// as single pixels, so that a point smaller than a pixel can still be picked. Built with PLAIN
// defined, the program draws only untextured shaded surfaces: a software renderer sets up every
// triangle's varyings, so the faces of a large mesh draw faster without texture coordinates
// and ids.
const char* const kVertexShader = R"(
in vec3 aPosition;
in vec3 aNormal;
in vec2 aTex;
in vec4 aColour;
in vec3 aCentre;
uniform mat4 uMvp;
uniform mat4 uModel;
uniform int uIdBase;
uniform bool uPoints;
uniform float uSize;
uniform float uMinSize;
uniform bool uSinglePixels;
out vec3 vWorld;
out vec3 vNormal;
out vec4 vColour;
#ifndef PLAIN
out vec2 vTex;
flat out int vId;
#endif
void main() {
  float size = uSize;
  if (uPoints) size = max(uSize, uMinSize * (uMvp * vec4(aCentre, 1.0)).w);
  vec4 p = vec4(uPoints ? aCentre + aPosition * size : aPosition, 1.0);
  gl_Position = uMvp * p;
  vWorld = (uModel * p).xyz;
  vNormal = mat3(uModel) * aNormal;
  vColour = aColour;
#ifndef PLAIN
  vTex = aTex;
  vId = uIdBase + (uPoints ? (uSinglePixels ? gl_VertexID : gl_InstanceID) : 0);
#endif
}
)";

// One white omni light without attenuation, a scene ambient of 0.2, the drawing colour as
// ambient and diffuse colour of both sides.
const char* const kLitFragmentShader = R"(
in vec3 vWorld;
in vec3 vNormal;
in vec4 vColour;
#ifndef PLAIN
in vec2 vTex;
flat in int vId;
#endif
uniform bool uIdPass;
uniform bool uTextured;
uniform sampler2D uTexture;
uniform vec3 uLight;
out vec4 fragColour;
void main() {
  vec4 base = vColour;
#ifndef PLAIN
  if (uIdPass) {
    uint id = uint(vId);
    fragColour = vec4(float(id & 255u), float((id >> 8) & 255u), float((id >> 16) & 255u),
                      float(id >> 24)) / 255.0;
    return;
  }
  if (uTextured) base *= texture(uTexture, vTex);
#endif
  float l = length(vNormal);
  vec3 n = l > 0.0 ? vNormal / l : vec3(0.0, 0.0, 1.0);
  if (!gl_FrontFacing) n = -n;
  float diffuse = max(dot(n, normalize(uLight - vWorld)), 0.0);
  fragColour = vec4(min(base.rgb * (0.2 + diffuse), vec3(1.0)), base.a);
}
)";

const char* const kLineVertexShader = R"(
in vec3 aPosition;
in vec3 aColour;
in vec3 aStart;
uniform mat4 uMvp;
out vec3 vColour;
out vec4 vStart;
void main() {
  gl_Position = uMvp * vec4(aPosition, 1.0);
  vStart = uMvp * vec4(aStart, 1.0);
  vColour = aColour;
}
)";

// The stipple counts pixels along the line's major axis from its start, uFactor pixels per
// bit of the 16-bit pattern, lowest bit first.
const char* const kLineFragmentShader = R"(
in vec3 vColour;
in vec4 vStart;
uniform vec2 uViewport;
uniform int uPattern;
uniform int uFactor;
out vec4 fragColour;
void main() {
  if (uPattern != 0xFFFF && vStart.w > 0.0) {
    vec2 start = (vStart.xy / vStart.w * 0.5 + 0.5) * uViewport;
    vec2 d = abs(gl_FragCoord.xy - start);
    int counter = int(max(d.x, d.y)) / max(uFactor, 1);
    if (((uPattern >> (counter & 15)) & 1) == 0) discard;
  }
  fragColour = vec4(vColour, 1.0);
}
)";

// `defines` go between the version line and the source.
std::unique_ptr<QOpenGLShaderProgram> Program(const char* vertex, const char* fragment,
                                              const char* defines = "") {
  auto program = std::make_unique<QOpenGLShaderProgram>();
  const QByteArray head = QByteArray("#version 330 compatibility\n") + defines;
  program->addShaderFromSourceCode(QOpenGLShader::Vertex, head + vertex);
  program->addShaderFromSourceCode(QOpenGLShader::Fragment, head + fragment);
  program->bindAttributeLocation("aPosition", kPosition);
  program->bindAttributeLocation("aNormal", kNormal);
  program->bindAttributeLocation("aTex", kTex);
  program->bindAttributeLocation("aColour", kColour);
  program->bindAttributeLocation("aCentre", kCentre);
  program->bindAttributeLocation("aStart", kStart);
  if (!program->link()) return nullptr;
  return program;
}

const void* Offset(std::size_t bytes) { return reinterpret_cast<const void*>(bytes); }

// A corner of the ground, the one textured drawing: a draw vertex with its texture coordinate.
struct TTexturedVertex {
  TDrawVertex Corner;
  float Tex[2];
};

TDrawVertex Corner(float x, float y, float z, float nx, float ny, float nz) {
  TDrawVertex v{};
  v.Position[0] = x;
  v.Position[1] = y;
  v.Position[2] = z;
  v.Normal[0] = static_cast<std::int16_t>(nx * 32767);
  v.Normal[1] = static_cast<std::int16_t>(ny * 32767);
  v.Normal[2] = static_cast<std::int16_t>(nz * 32767);
  v.Colour[0] = v.Colour[1] = v.Colour[2] = v.Colour[3] = 255;
  return v;
}

TLineVertex LineEnd(float x, float y, float z, const float colour[3]) {
  TLineVertex v{};
  v.Position[0] = x;
  v.Position[1] = y;
  v.Position[2] = z;
  std::copy(colour, colour + 3, v.Colour);
  return v;  // every axis starts at the origin
}

}  // namespace

QMatrix4x4 MeshModel() {
  QMatrix4x4 m;
  m.scale(static_cast<float>(kDisplayScale));
  return m;
}

TSceneRenderer::TSceneRenderer() = default;
TSceneRenderer::~TSceneRenderer() = default;

bool TSceneRenderer::Initialize() {
  ready_ = false;
  const QOpenGLContext* context = QOpenGLContext::currentContext();
  if (!context || context->format().version() < qMakePair(3, 3) || !initializeOpenGLFunctions())
    return false;
  meshProgram_ = Program(kVertexShader, kLitFragmentShader);
  plainProgram_ = Program(kVertexShader, kLitFragmentShader, "#define PLAIN 1\n");
  lineProgram_ = Program(kLineVertexShader, kLineFragmentShader);
  if (!meshProgram_ || !plainProgram_ || !lineProgram_) return false;
  vao_ = std::make_unique<QOpenGLVertexArrayObject>();
  vao_->create();
  for (QOpenGLBuffer* b : {&vertices_, &weights_, &indices_, &points_, &lines_, &cube_,
                           &cubeIndices_, &ground_, &axes_}) {
    b->create();
    b->setUsagePattern(QOpenGLBuffer::StaticDraw);
  }
  groundTexture_ = std::make_unique<QOpenGLTexture>(GroundPicture().mirrored());
  groundTexture_->setMinificationFilter(QOpenGLTexture::Linear);
  groundTexture_->setMagnificationFilter(QOpenGLTexture::Linear);
  groundTexture_->setWrapMode(QOpenGLTexture::Repeat);
  CreateStaticGeometry();
  ready_ = true;
  return true;
}

void TSceneRenderer::Release() {
  for (QOpenGLBuffer* b : {&vertices_, &weights_, &indices_, &points_, &lines_, &cube_,
                           &cubeIndices_, &ground_, &axes_})
    b->destroy();
  pickTarget_.reset();
  groundTexture_.reset();
  vao_.reset();
  meshProgram_.reset();
  plainProgram_.reset();
  lit_ = nullptr;
  lineProgram_.reset();
  ready_ = false;
}

void TSceneRenderer::CreateStaticGeometry() {
  // The little cube of a vertex point: six quads as triangles, corners at +-1.
  std::vector<TDrawVertex> cube;
  std::vector<std::uint32_t> cubeIndices;
  static constexpr float kFaces[6][3] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                         {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
  for (const auto& n : kFaces) {
    // Two axes spanning the face, ordered so that the quad turns counter-clockwise outside.
    const int axis = n[0] != 0 ? 0 : n[1] != 0 ? 1 : 2;
    const float sign = n[axis];
    const int u = (axis + 1) % 3;
    const int v = (axis + 2) % 3;
    const auto base = static_cast<std::uint32_t>(cube.size());
    static constexpr float kSquare[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& s : kSquare) {
      float p[3];
      p[axis] = sign;
      p[u] = s[0];
      p[v] = s[1] * sign;
      cube.push_back(Corner(p[0], p[1], p[2], n[0], n[1], n[2]));
    }
    for (const std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) cubeIndices.push_back(base + i);
  }
  Fill(cube_, cube.data(), cube.size() * sizeof(TDrawVertex));
  Fill(cubeIndices_, cubeIndices.data(), cubeIndices.size() * sizeof(std::uint32_t));

  // The ground: a disk in y = 0 facing up, as a fan around its centre.
  std::vector<TTexturedVertex> ground;
  ground.push_back({Corner(0, 0, 0, 0, 1, 0), {0.5f, 0.5f}});
  for (int i = 0; i <= kGroundSlices; ++i) {
    const double a = 2 * std::numbers::pi * i / kGroundSlices;
    const auto x = static_cast<float>(kGroundRadius * std::cos(a));
    const auto z = static_cast<float>(-kGroundRadius * std::sin(a));
    ground.push_back({Corner(x, 0, z, 0, 1, 0),
                      {0.5f + x / (2 * kGroundRadius), 0.5f - z / (2 * kGroundRadius)}});
  }
  Fill(ground_, ground.data(), ground.size() * sizeof(TTexturedVertex));

  // The axes: red x, green y, blue z; their negative halves dotted.
  static constexpr float kColours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  std::vector<TLineVertex> axes;
  for (const float sign : {1.0f, -1.0f}) {
    for (int a = 0; a < 3; ++a) {
      float end[3] = {0, 0, 0};
      end[a] = sign * kAxisLength;
      axes.push_back(LineEnd(0, 0, 0, kColours[a]));
      axes.push_back(LineEnd(end[0], end[1], end[2], kColours[a]));
    }
  }
  Fill(axes_, axes.data(), axes.size() * sizeof(TLineVertex));
  TLineStyle solid;
  solid.Smooth = solid.Blend = false;
  solid.StipplePattern = 0xFFFF;
  TLineStyle dotted = solid;
  dotted.StipplePattern = 0xCCCC;
  axesBatches_ = {{solid, 0, 6}, {dotted, 6, 6}};
}

void TSceneRenderer::Fill(QOpenGLBuffer& buffer, const void* data, std::size_t bytes) {
  buffer.bind();
  // A buffer that is big enough keeps its storage, so a redraw touches no fresh memory.
  if (bytes > 0 && static_cast<std::size_t>(buffer.size()) >= bytes)
    buffer.write(0, data, static_cast<int>(bytes));
  else
    buffer.allocate(data, static_cast<int>(bytes));
  buffer.release();
}

void TSceneRenderer::Upload(const TSceneGeometry& g) {
  if (!ready_) return;
  ++uploads_;
  Fill(vertices_, g.Vertices.data(), g.Vertices.size() * sizeof(TDrawVertex));
  Fill(indices_, g.Indices.data(), g.Indices.size() * sizeof(std::uint32_t));
  Fill(points_, g.Points.data(), g.Points.size() * sizeof(TPointInstance));
  Fill(lines_, g.Lines.data(), g.Lines.size() * sizeof(TLineVertex));
}

void TSceneRenderer::UploadWeightColours(const TSceneGeometry& g) {
  if (!ready_) return;
  ++weightUploads_;
  Fill(weights_, g.WeightColours.data(), g.WeightColours.size());
}

void TSceneRenderer::SetState(const TFrame& frame) {
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1);
  glPointSize(1);
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  if (frame.FaceCulling)
    glEnable(GL_CULL_FACE);
  else
    glDisable(GL_CULL_FACE);
  glEnable(GL_PRIMITIVE_RESTART);
  glPrimitiveRestartIndex(kRestartIndex);
}

void TSceneRenderer::BindDrawVertices(QOpenGLBuffer& buffer, bool textured) {
  buffer.bind();
  const auto stride =
      static_cast<GLsizei>(textured ? sizeof(TTexturedVertex) : sizeof(TDrawVertex));
  glEnableVertexAttribArray(kPosition);
  glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, stride,
                        Offset(offsetof(TDrawVertex, Position)));
  glEnableVertexAttribArray(kNormal);
  glVertexAttribPointer(kNormal, 3, GL_SHORT, GL_TRUE, stride,
                        Offset(offsetof(TDrawVertex, Normal)));
  if (textured) {
    glEnableVertexAttribArray(kTex);
    glVertexAttribPointer(kTex, 2, GL_FLOAT, GL_FALSE, stride,
                          Offset(offsetof(TTexturedVertex, Tex)));
  } else {
    glDisableVertexAttribArray(kTex);
    glVertexAttrib2f(kTex, 0, 0);
  }
  glEnableVertexAttribArray(kColour);
  glVertexAttribPointer(kColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        Offset(offsetof(TDrawVertex, Colour)));
  buffer.release();
}

void TSceneRenderer::SetMeshPolygonMode(const TFrame& frame) {
  glPolygonMode(GL_FRONT, GL_FILL);
  glPolygonMode(GL_BACK, frame.BackFaceFill ? GL_FILL : GL_LINE);
}

void TSceneRenderer::Draw(const TFrame& frame, const TSceneGeometry& geometry,
                          const TMultiObjData& live) {
  glViewport(0, 0, frame.Pixels.width(), frame.Pixels.height());
  glClearColor(kBackground.R / 255.0f, kBackground.G / 255.0f, kBackground.B / 255.0f, 1);
  glClearDepth(1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!ready_) return;
  vao_->bind();
  SetState(frame);
  const QMatrix4x4& viewProjection = frame.ViewProjection;
  DrawAxes(viewProjection, frame);
  if (frame.Ground) DrawGround(viewProjection, frame);
  DrawGroups(viewProjection, frame, geometry, live, TPass::Shade);
  DrawPoints(viewProjection, frame, geometry, live, TPass::Shade);
  DrawLines(viewProjection * MeshModel(), frame, lines_, geometry.LineBatches);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_PRIMITIVE_RESTART);
  glDisable(GL_CULL_FACE);
  vao_->release();
  glFinish();
}

void TSceneRenderer::DrawAxes(const QMatrix4x4& viewProjection, const TFrame& frame) {
  DrawLines(viewProjection, frame, axes_, axesBatches_);
}

void TSceneRenderer::UseLitProgram(const QMatrix4x4& viewProjection, const QMatrix4x4& model,
                                   const TFrame& frame, TPass pass, bool textured, bool points) {
  lit_ = pass == TPass::Shade && !textured && !points ? plainProgram_.get() : meshProgram_.get();
  lit_->bind();
  lit_->setUniformValue("uMvp", viewProjection * model);
  lit_->setUniformValue("uModel", model);
  lit_->setUniformValue("uLight", frame.Light);
  lit_->setUniformValue("uIdPass", pass == TPass::Id);
  lit_->setUniformValue("uIdBase", 0);
  lit_->setUniformValue("uTextured", textured);
  lit_->setUniformValue("uPoints", points);
  lit_->setUniformValue("uSize", frame.PointSize);
  lit_->setUniformValue("uMinSize", frame.MinPointSizePerDepth);
}

void TSceneRenderer::DrawGround(const QMatrix4x4& viewProjection, const TFrame& frame) {
  UseLitProgram(viewProjection, QMatrix4x4(), frame, TPass::Shade, true, false);
  lit_->setUniformValue("uTexture", 0);
  glActiveTexture(GL_TEXTURE0);
  groundTexture_->bind();
  BindDrawVertices(ground_, true);
  // Seen from below, the ground shows only its corners.
  glPolygonMode(GL_FRONT, GL_FILL);
  glPolygonMode(GL_BACK, GL_POINT);
  glDrawArrays(GL_TRIANGLE_FAN, 0, kGroundSlices + 2);
  groundTexture_->release();
  lit_->release();
}

void TSceneRenderer::DrawGroups(const QMatrix4x4& viewProjection, const TFrame& frame,
                                const TSceneGeometry& geometry, const TMultiObjData& live,
                                TPass pass) {
  if (geometry.Groups.empty()) return;
  UseLitProgram(viewProjection, MeshModel(), frame, pass, false, false);
  BindDrawVertices(vertices_, false);
  if (frame.ShowWeights && pass == TPass::Shade) {
    // The same corners in their soft-weight colours.
    weights_.bind();
    glVertexAttribPointer(kColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, 4, nullptr);
    weights_.release();
  }
  indices_.bind();
  const int idLocation = lit_->uniformLocation("uIdBase");
  for (const TMeshDraw& m : geometry.Meshes) {
    const TObjData* mesh = live.Mesh(m.Mesh);
    if (!mesh) continue;
    for (std::uint32_t gi = m.FirstGroup; gi < m.FirstGroup + m.GroupCount; ++gi) {
      const TGroupDraw& draw = geometry.Groups[gi];
      const TGroup* group = mesh->Group(draw.Group);
      if (!group) continue;
      lit_->setUniformValue(idLocation, static_cast<int>(gi + 1));
      switch (StyleOf(*mesh, *group)) {
        case TGroupStyle::Box:
          SetMeshPolygonMode(frame);
          DrawIndexed(GL_POLYGON, draw.Box);
          break;
        case TGroupStyle::Wire:
          glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
          DrawIndexed(GL_POLYGON, draw.Outlines);
          break;
        case TGroupStyle::Faces:
          glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
          if (frame.FaceCulling || frame.BackFaceFill) {
            DrawIndexed(GL_TRIANGLES, draw.Faces);
          } else {
            // Fronts filled, backs as the outlines of their polygons.
            glEnable(GL_CULL_FACE);
            DrawIndexed(GL_TRIANGLES, draw.Faces);
            glCullFace(GL_FRONT);
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            DrawIndexed(GL_POLYGON, draw.Outlines);
            glCullFace(GL_BACK);
            glDisable(GL_CULL_FACE);
          }
          break;
      }
    }
  }
  indices_.release();
  lit_->release();
}

void TSceneRenderer::DrawIndexed(GLenum mode, const TIndexRange& range) {
  if (range.Count == 0) return;
  glDrawElements(mode, static_cast<GLsizei>(range.Count), GL_UNSIGNED_INT,
                 Offset(range.First * sizeof(std::uint32_t)));
}

void TSceneRenderer::DrawPoints(const QMatrix4x4& viewProjection, const TFrame& frame,
                                const TSceneGeometry& geometry, const TMultiObjData& live,
                                TPass pass) {
  if (geometry.Points.empty()) return;
  UseLitProgram(viewProjection, MeshModel(), frame, pass, false, true);
  SetMeshPolygonMode(frame);
  glDisableVertexAttribArray(kTex);
  glVertexAttrib2f(kTex, 0, 0);
  constexpr auto stride = static_cast<GLsizei>(sizeof(TPointInstance));
  for (const TMeshDraw& m : geometry.Meshes) {
    const TObjData* mesh = live.Mesh(m.Mesh);
    // While the camera moves the points are left out.
    if (!mesh || mesh->TrackingActive || m.PointCount == 0) continue;
    const std::size_t first = m.FirstPoint * sizeof(TPointInstance);
    points_.bind();
    glEnableVertexAttribArray(kCentre);
    glVertexAttribPointer(kCentre, 3, GL_FLOAT, GL_FALSE, stride,
                          Offset(first + offsetof(TPointInstance, Centre)));
    glEnableVertexAttribArray(kColour);
    glVertexAttribPointer(kColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          Offset(first + offsetof(TPointInstance, Colour)));
    points_.release();
    lit_->setUniformValue("uIdBase", static_cast<int>(m.FirstPoint + 1));

    // The cubes, one instance per point.
    glVertexAttribDivisor(kCentre, 1);
    glVertexAttribDivisor(kColour, 1);
    cube_.bind();
    constexpr auto cubeStride = static_cast<GLsizei>(sizeof(TDrawVertex));
    glEnableVertexAttribArray(kPosition);
    glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, cubeStride,
                          Offset(offsetof(TDrawVertex, Position)));
    glEnableVertexAttribArray(kNormal);
    glVertexAttribPointer(kNormal, 3, GL_SHORT, GL_TRUE, cubeStride,
                          Offset(offsetof(TDrawVertex, Normal)));
    cube_.release();
    cubeIndices_.bind();
    lit_->setUniformValue("uSinglePixels", false);
    glDrawElementsInstanced(GL_TRIANGLES, 36, GL_UNSIGNED_INT, nullptr,
                            static_cast<GLsizei>(m.PointCount));
    cubeIndices_.release();
    glVertexAttribDivisor(kCentre, 0);
    glVertexAttribDivisor(kColour, 0);

    if (pass == TPass::Id) {
      glDisableVertexAttribArray(kPosition);
      glDisableVertexAttribArray(kNormal);
      glVertexAttrib3f(kPosition, 0, 0, 0);
      lit_->setUniformValue("uSinglePixels", true);
      glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(m.PointCount));
    }
  }
  glDisableVertexAttribArray(kCentre);
  lit_->release();
}

void TSceneRenderer::DrawLines(const QMatrix4x4& mvp, const TFrame& frame, QOpenGLBuffer& buffer,
                               std::span<const TLineBatch> batches) {
  if (batches.empty()) return;
  lineProgram_->bind();
  lineProgram_->setUniformValue("uMvp", mvp);
  lineProgram_->setUniformValue("uViewport", QVector2D(static_cast<float>(frame.Pixels.width()),
                                                       static_cast<float>(frame.Pixels.height())));
  glDisableVertexAttribArray(kNormal);
  glDisableVertexAttribArray(kTex);
  buffer.bind();
  constexpr auto stride = static_cast<GLsizei>(sizeof(TLineVertex));
  glEnableVertexAttribArray(kPosition);
  glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, stride,
                        Offset(offsetof(TLineVertex, Position)));
  glEnableVertexAttribArray(kColour);
  glVertexAttribPointer(kColour, 3, GL_FLOAT, GL_FALSE, stride,
                        Offset(offsetof(TLineVertex, Colour)));
  glEnableVertexAttribArray(kStart);
  glVertexAttribPointer(kStart, 3, GL_FLOAT, GL_FALSE, stride,
                        Offset(offsetof(TLineVertex, Start)));
  buffer.release();
  for (const TLineBatch& b : batches) {
    const TLineStyle& s = b.Style;
    glLineWidth(s.Width);
    if (s.Smooth) glEnable(GL_LINE_SMOOTH);
    if (s.Blend) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    lineProgram_->setUniformValue("uPattern", static_cast<int>(s.StipplePattern));
    lineProgram_->setUniformValue("uFactor", s.StippleFactor);
    glDrawArrays(GL_LINES, static_cast<GLint>(b.First), static_cast<GLsizei>(b.Count));
    // The drawing state goes back as it was before these lines.
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
    glLineWidth(1);
  }
  glDisableVertexAttribArray(kStart);
  lineProgram_->release();
}

std::uint32_t TSceneRenderer::Pick(const TFrame& frame, QPoint pixel, int radius,
                                   bool nearestToCursor,
                                   const std::function<void(const QMatrix4x4&)>& draw) {
  if (!ready_) return 0;
  const int side = 2 * radius + 1;
  if (!pickTarget_ || pickTarget_->width() != side) {
    pickTarget_ = std::make_unique<QOpenGLFramebufferObject>(
        side, side, QOpenGLFramebufferObject::Depth, GL_TEXTURE_2D, GL_RGBA8);
  }
  GLint previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
  pickTarget_->bind();
  glViewport(0, 0, side, side);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  vao_->bind();
  SetState(frame);

  // Maps the pixels around the cursor onto the whole pick target.
  const float w = static_cast<float>(std::max(frame.Pixels.width(), 1));
  const float h = static_cast<float>(std::max(frame.Pixels.height(), 1));
  const float cx = 2 * (static_cast<float>(pixel.x()) + 0.5f) / w - 1;
  const float cy = 2 * (h - static_cast<float>(pixel.y()) - 0.5f) / h - 1;
  const float sx = w / side;
  const float sy = h / side;
  const QMatrix4x4 pick(sx, 0, 0, -sx * cx, 0, sy, 0, -sy * cy, 0, 0, 1, 0, 0, 0, 0, 1);
  draw(pick * frame.ViewProjection);

  const auto count = static_cast<std::size_t>(side * side);
  std::vector<std::uint8_t> colours(count * 4);
  std::vector<float> depths(count);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, colours.data());
  glReadPixels(0, 0, side, side, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_PRIMITIVE_RESTART);
  glDisable(GL_CULL_FACE);
  vao_->release();
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));

  std::vector<std::uint32_t> ids(count);
  for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = DecodeId(&colours[i * 4]);
  return nearestToCursor ? NearestToCentre(ids, depths, side) : NearestId(ids, depths);
}

std::uint32_t TSceneRenderer::PickGroup(const TFrame& frame, const TSceneGeometry& geometry,
                                        const TMultiObjData& live, QPoint pixel) {
  return Pick(frame, pixel, 1, false, [&](const QMatrix4x4& viewProjection) {
    DrawGroups(viewProjection, frame, geometry, live, TPass::Id);
  });
}

std::uint32_t TSceneRenderer::PickPoint(const TFrame& frame, const TSceneGeometry& geometry,
                                        const TMultiObjData& live, QPoint pixel) {
  return Pick(frame, pixel, kPointPickRadius, true, [&](const QMatrix4x4& viewProjection) {
    DrawPoints(viewProjection, frame, geometry, live, TPass::Id);
  });
}

}  // namespace tarvel::view
