// libFuzzer entry: every input must load and save again byte for byte.
#include "loaderroundtrip.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {
QApplication *application = nullptr;
QTemporaryDir *folder = nullptr;
}

// Font configuration keeps its caches to the end; they are not ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    folder = new QTemporaryDir;
    // libFuzzer ends through exit(): the application must go before the
    // statics Qt made while it started.
    std::atexit([] {
        delete folder;
        delete application;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString fault = loaderRoundTripFault(QByteArrayView(data, qsizetype(size)), folder->path());
    if (!fault.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(fault));
        std::abort();
    }
    return 0;
}
