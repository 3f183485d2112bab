#include "app/application.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));
    app::Application application;
    application.launch();
    return qapp.exec();
}
