#include "cli/cli.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Cli cli(qapp.arguments().mid(1), out, err);
    QObject::connect(&cli, &cli::Cli::finished, &qapp, &QCoreApplication::exit);
    cli.start();
    return qapp.exec();
}
