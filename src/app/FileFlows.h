// The file dialogs of the main window and the texts of its file flows: figures, morph targets,
// snapshots, projects and stacks. The flows themselves are TFormMain's (FileFlows.cpp).
#pragma once

#include <QString>
#include <string>

namespace tarvel {

// A file dialog as the window asks for it. `Filter` is written "Description (*.ext)|*.ext";
// an empty `Title` leaves the system's own title.
struct TFileDialogInfo {
  QString Title;
  QString Filter;
  QString DefaultExtension;  // without the dot; empty for none
  QString ProposedName;
  // The kind of file ("figure", "target", "project", "stack", "snapshot"): the dialog opens in
  // the folder last used for it.
  QString Kind;
  QString Folder;  // where the dialog opens; empty for the working folder
};

namespace fileflows {

// Open dialogs.
TFileDialogInfo OpenPoserObj();
TFileDialogInfo OpenTargetGeometry();
TFileDialogInfo OpenProject();
TFileDialogInfo OpenStack();
// The sculpt of "Use sculpted shape" and "Load full-body morph...": "*.obj" and "*.obz".
TFileDialogInfo OpenSculpt();
// Save dialogs.
TFileDialogInfo ExportTargetGeometry(const QString& targetName);
TFileDialogInfo SaveSnapshot();
TFileDialogInfo SaveProject();
TFileDialogInfo SaveStack();

inline constexpr const char* kFileNotFound = "File not found!";
inline constexpr const char* kWrongVertexCount = "Target geometry has wrong number of vertices!";
inline constexpr const char* kGroupMissing = "Group must exists in original mesh!";
inline constexpr const char* kConfirmSaveTitle = "Confirm Save As";
inline constexpr const char* kExportAllTitle = "Export all targets";
inline constexpr const char* kNoFigure = "Load a Poser figure first!";
inline constexpr const char* kNoTargets = "The mesh has no morph targets.";

// The question asked once before writing a set of files of which `existing` are already there.
QString OverwriteAllQuestion(int existing, const QString& folder);

// The wrong-count error of an imported target, with the two counts on a second line.
QString WrongVertexCount(int groupVertices, int fileVertices);

// The question asked before a save dialog's choice replaces an existing file.
QString OverwriteQuestion(const QString& fileName);
// The name with ".`extension`" added when it has no extension of its own.
QString WithDefaultExtension(const QString& fileName, const QString& extension);
// The file's name without folder and without its (last) extension.
QString BareName(const QString& fileName);
// The file's full path as the core's file functions take it: UTF-8 on every system.
std::string LocalPath(const QString& fileName);
// A path kept by the core, as Qt shows it.
QString FromLocalPath(const std::string& path);
// A recent-file entry's caption: the accelerator of its place (1 to 9, then 0) and the name.
QString RecentCaption(int index, const QString& fileName);

}  // namespace fileflows
}  // namespace tarvel
