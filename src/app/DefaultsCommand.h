#pragma once

#include <QStringList>
#include <QTextStream>

namespace notchora {

// `notchora defaults read|write|delete …`: the command-line face of the defaults store.
// Returns the process exit code; output goes to `out`, messages to `err`.
int runDefaultsCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace notchora
