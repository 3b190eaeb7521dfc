// Writes a complete example project into a folder (see example_project.h). Open it in the
// editor, Save, Test Run.
// Usage: torvana-make-example DIR

#include <QGuiApplication>
#include <cstdio>

#include "example_project.h"
#include "project/errors.h"

int main(int argc, char** argv) {
    // Drawing needs no screen: the offscreen platform serves wherever no other is chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    try {
        std::printf("%s\n", qPrintable(writeExampleProject(QString::fromLocal8Bit(argv[1]))));
    } catch (const torvana::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
