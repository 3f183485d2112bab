#include "app/cli.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationName(QStringLiteral("Bandhopper"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::Cli cli(qapp.arguments().mid(1), out, err);
    QObject::connect(&cli, &app::Cli::finished, &qapp, &QCoreApplication::exit);
    cli.start();
    return qapp.exec();
}
