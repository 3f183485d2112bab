#pragma once

#include <QStringList>
#include <QTextStream>

namespace server {

// bandhopper-server's command line: serve, import nets|mw FILE, release VERSION. Returns the exit
// status: 0 done, 1 failed, 2 usage error. `serve` runs the event loop until SIGTERM or SIGINT,
// which the caller must have blocked in every thread.
int runCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

// sqlite:<generic data location>/bandhopper-server/directory.sqlite
QString defaultDatabase();

} // namespace server
