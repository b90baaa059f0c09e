// What the program keeps between runs and finds around itself at start-up: the INI file with
// the window placement, the two panel widths and the recent-file list; the two values written
// to the user's native settings at every start; the tutorials folder; the cursors; the splash.
#pragma once

#include <QCursor>
#include <QRect>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace tarvel {

// The INI file: the executable's path with ".ini" in place of its extension, when the
// executable's folder is writable; otherwise a file of that name in `fallbackFolder` (the
// user's configuration folder).
QString IniFileName(const QString& exePath, const QString& fallbackFolder);
// The user's configuration folder for the program.
QString ConfigFolder();

// "Path" (the executable's full path) and "Ver" = "000100", written at every start into the
// user's native settings under "Software/Quillon/Tarvel" and never read. A failure to write
// them is not reported.
void WriteRegistryValues(QSettings& settings, const QString& exePath);
inline constexpr const char* kRegistryVersion = "000100";

// The stored placement of the main window and the widths of the scene tree and the centre
// panel.
struct TPlacement {
  QRect Normal;  // the window's normal (not maximised) client rectangle
  bool Maximized = false;
  int TreeWidth = 142;
  int CentreWidth = 121;
  bool operator==(const TPlacement&) const = default;
};

// Reads the placement from the INI file; none when the file holds none.
std::optional<TPlacement> ReadPlacement(QSettings& ini);
// Writes "NormPos" (left, top, right, bottom as "%d,%d,%d,%d"), "ShowCmd", "Flags",
// "MinMaxPos", "PixelsPerInch", "FormVersion", "Tree.Width" and "PanCent.Width".
void WritePlacement(QSettings& ini, const TPlacement& placement, int pixelsPerInch);

// The recent-file list: up to 10 full file names, the most recent first; adding a name already
// in the list moves it to the top. Stored as "Item_%d" with "User_%d" beside each.
class TRecentFiles {
 public:
  static constexpr int kCapacity = 10;
  void Add(const QString& fileName);
  const QStringList& Items() const { return items_; }
  void Read(QSettings& ini);
  void Write(QSettings& ini) const;

 private:
  QStringList items_;
};

// The folder "Tutorials" beside the executable, or the installed one (share/tarvel/Tutorials
// next to the executable's bin folder) when there is none beside it.
QString TutorialsFolder(const QString& exeFolder);
// The "*.chm" files of the folder (any letter case), in the order the folder lists them.
QStringList FindTutorials(const QString& folder);
// A tutorial's menu caption: its file name without folder, cut before the first ".chm" in any
// letter case ("Intro.chm" gives "Intro", "a.CHM.bak.chm" gives "a").
QString TutorialCaption(const QString& fileName);

// The cursors "MAGNIF" (zoom) and "PANNING" (panning), drawn by the program.
QCursor LoadCursor(const QString& name);

// The splash: a borderless 342 x 197 picture centred on the desktop that closes and frees
// itself 4000 ms after it was created. Nothing waits for it.
class TFormSplash : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 342;
  static constexpr int kHeight = 197;
  static constexpr int kLifetimeMs = 4000;
  TFormSplash();
  // The one-shot timer that closes the splash.
  QTimer* Timer() const { return timer_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer* timer_;
};

}  // namespace tarvel
