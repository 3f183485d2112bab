#include "core/seams.h"

#include <QTextStream>

namespace core {

void writeDiagnostic(const DiagnosticSink& sink, const QString& line) {
    if (sink) {
        sink(line);
        return;
    }
    QTextStream out(stdout);
    out << line << Qt::endl;
}

} // namespace core
