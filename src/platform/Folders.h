#pragma once

#include <QString>

namespace notchora::Folders {

// $HOME, falling back to the password database's idea of it.
QString home();
// $XDG_CONFIG_HOME, or ~/.config when unset or not absolute.
QString configHome();
// $XDG_DATA_HOME, or ~/.local/share when unset or not absolute.
QString dataHome();
// Where Notchora keeps its settings: <config home>/notchora.
QString configDir();
// Where Notchora keeps its data (chat history, fallback secrets): <data home>/Notchora.
QString dataDir();
// Creates `path` (and parents) with mode 0700 when it does not exist yet.
bool ensurePrivateDir(const QString& path);
// <runtime dir>/notchora, or <temp>/notchora-<uid> where no runtime dir is set, created 0700;
// empty when that name is not a real folder of ours that only we can reach (someone else may
// have made it first in the shared temporary folder).
QString privateRuntimeDir();
// A fresh, unused path for a temporary file ("<prefix><uuid><suffix>") in a folder only we
// can read: <runtime dir>/notchora, or a per-user folder under the temporary folder where no
// runtime dir is set. Empty when no such folder can be made.
QString privateTempPath(const QString& prefix, const QString& suffix);

} // namespace notchora::Folders
