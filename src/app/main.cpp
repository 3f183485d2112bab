#include "app/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstring>

namespace {

// --help and --version answer without a display, so they are read before the window's
// application object, which needs one, exists.
bool answersWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "--help", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

void describe(QCoreApplication& app) {
    app.setApplicationName(QStringLiteral("bandhopper"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Tunes a transceiver to POTA, SOTA and WWFF spots, active nets and broadcast "
        "stations.\nPress Tune in a row (or Enter on it) to set the radio."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app); // prints and exits
}

} // namespace

int main(int argc, char** argv) {
    if (answersWithoutWindow(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));
        describe(app);
    }
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationName(QStringLiteral("Bandhopper"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.bandhopper.Bandhopper"));
    QIcon icon;
    for (const char* size : {"32", "64", "256"})
        icon.addFile(QStringLiteral(":/icons/bandhopper-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("org.bandhopper.Bandhopper"), icon));
    app::Application application;
    application.launch();
    return qapp.exec();
}
