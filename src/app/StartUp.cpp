#include "app/StartUp.h"

#include "app/Pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTimer>

namespace tarvel {

namespace {

constexpr const char* kPlacementSection = "FormMain";
constexpr const char* kRecentSection = "RecentFiles";

// A value written as "a,b,c,d": QSettings hands it back as a list when it was not quoted.
QString JoinedValue(const QVariant& value) {
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

std::optional<QList<int>> FourInts(const QString& text) {
  const QStringList parts = text.split(',');
  if (parts.size() != 4) return std::nullopt;
  QList<int> out;
  for (const QString& p : parts) {
    bool ok = false;
    out.push_back(p.trimmed().toInt(&ok));
    if (!ok) return std::nullopt;
  }
  return out;
}

}  // namespace

QString ConfigFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString IniFileName(const QString& exePath, const QString& fallbackFolder) {
  const QFileInfo exe(exePath);
  const QString name = exe.completeBaseName() + ".ini";
  const QFileInfo folder(exe.absolutePath());
  if (folder.isDir() && folder.isWritable()) return QDir(exe.absolutePath()).filePath(name);
  QDir().mkpath(fallbackFolder);
  return QDir(fallbackFolder).filePath(name);
}

void WriteRegistryValues(QSettings& settings, const QString& exePath) {
  settings.setValue("Path", QFileInfo(exePath).absoluteFilePath());
  settings.setValue("Ver", QString::fromLatin1(kRegistryVersion));
  settings.sync();
}

std::optional<TPlacement> ReadPlacement(QSettings& ini) {
  ini.beginGroup(kPlacementSection);
  std::optional<TPlacement> result;
  if (const auto pos = FourInts(JoinedValue(ini.value("NormPos")))) {
    TPlacement p;
    const QList<int>& v = *pos;
    // Right and bottom lie just outside the rectangle.
    p.Normal = QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    p.Maximized = ini.value("ShowCmd", 1).toInt() == 3;
    p.TreeWidth = ini.value("Tree.Width", p.TreeWidth).toInt();
    p.CentreWidth = ini.value("PanCent.Width", p.CentreWidth).toInt();
    if (p.Normal.isValid()) result = p;
  }
  ini.endGroup();
  return result;
}

void WritePlacement(QSettings& ini, const TPlacement& placement, int pixelsPerInch) {
  const QRect& r = placement.Normal;
  ini.beginGroup(kPlacementSection);
  ini.setValue("NormPos",
               QString::asprintf("%d,%d,%d,%d", r.left(), r.top(), r.right() + 1, r.bottom() + 1));
  ini.setValue("ShowCmd", placement.Maximized ? 3 : 1);
  ini.setValue("Flags", 0);
  ini.setValue("MinMaxPos", QStringLiteral("-1,-1,-1,-1"));
  ini.setValue("PixelsPerInch", pixelsPerInch);
  ini.setValue("FormVersion", 0);
  ini.setValue("Tree.Width", placement.TreeWidth);
  ini.setValue("PanCent.Width", placement.CentreWidth);
  ini.endGroup();
}

void TRecentFiles::Add(const QString& fileName) {
  const QString full = QFileInfo(fileName).absoluteFilePath();
  items_.removeAll(full);
  items_.prepend(full);
  while (items_.size() > kCapacity) items_.removeLast();
}

void TRecentFiles::Read(QSettings& ini) {
  items_.clear();
  ini.beginGroup(kRecentSection);
  for (int i = 0; i < kCapacity; ++i) {
    const QString name = ini.value(QString::asprintf("Item_%d", i)).toString();
    if (!name.isEmpty() && !items_.contains(name)) items_.push_back(name);
  }
  ini.endGroup();
}

void TRecentFiles::Write(QSettings& ini) const {
  ini.remove(kRecentSection);
  ini.beginGroup(kRecentSection);
  for (int i = 0; i < items_.size(); ++i) {
    ini.setValue(QString::asprintf("Item_%d", i), items_[i]);
    ini.setValue(QString::asprintf("User_%d", i), 0);
  }
  ini.endGroup();
}

QString TutorialsFolder(const QString& exeFolder) {
  const QDir beside(QDir(exeFolder).filePath("Tutorials"));
  if (beside.exists()) return beside.absolutePath();
  const QDir installed(QDir(exeFolder).filePath("../share/tarvel/Tutorials"));
  if (installed.exists()) return installed.absolutePath();
  return beside.absolutePath();
}

QStringList FindTutorials(const QString& folder) {
  QStringList out;
  const QDir dir(folder);
  if (!dir.exists()) return out;
  for (const QFileInfo& f : dir.entryInfoList(QDir::Files, QDir::NoSort))
    if (f.fileName().endsWith(".chm", Qt::CaseInsensitive)) out.push_back(f.absoluteFilePath());
  return out;
}

QString TutorialCaption(const QString& fileName) {
  QString name = QFileInfo(fileName).fileName();
  const qsizetype at = name.indexOf(".chm", 0, Qt::CaseInsensitive);
  if (at >= 0) name.truncate(at);
  return name;
}

QCursor LoadCursor(const QString& name) {
  // The magnifier's hot spot is the middle of its lens; the hand's the middle of its palm.
  const QPoint hotSpot = name == "MAGNIF" ? QPoint(12, 12) : QPoint(16, 16);
  const QPixmap picture = SvgPixmap(QStringLiteral(":/cursors/%1.svg").arg(name), QSize(32, 32));
  return QCursor(picture, hotSpot.x(), hotSpot.y());
}

TFormSplash::TFormSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      timer_(new QTimer(this)) {
  setObjectName("FormSplash");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
  timer_->setSingleShot(true);
  timer_->setInterval(kLifetimeMs);
  connect(timer_, &QTimer::timeout, this, &QWidget::close);
  timer_->start();
}

void TFormSplash::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QSvgRenderer(QStringLiteral(":/splash.svg")).render(&p, rect());
}

}  // namespace tarvel
