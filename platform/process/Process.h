#pragma once
// Process and file services: the running executable's path, file existence, short path form.

#include <QString>

namespace Process {

// Full path of the running executable (the host's program file, not a loaded module).
QString executablePath();
// Folder of the running executable, without a trailing separator; or the station's folder when
// one is named (setStationFolder, or the environment variable RES00011_STATION).
QString executableFolder();
// Tests point the executable's folder elsewhere; an empty text restores the real one.
void setExecutableFolderForTests(const QString& folder);
// The station's folder: where its files and its default database are looked for in place of
// the executable's folder, for an installation whose programs lie in a read-only folder. An
// empty text goes back to the executable's folder.
void setStationFolder(const QString& folder);

// True when something is at the path: a file, or a directory, FIFO, device or link (even one
// that leads nowhere) in its place, which then fails to load as a file and names it. Only a
// path that names nothing is a missing file.
bool FileExists(const QString& path);
// The short form of a path. File systems here have no short names: an existing path keeps its
// text, a missing one gives the empty text, as the conversion does for a missing file.
QString ExtractShortPathName(const QString& path);

}  // namespace Process
