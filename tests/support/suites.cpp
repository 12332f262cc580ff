#include "suites.h"

#include <QApplication>
#include <QTest>

#include <vector>

namespace {

struct Suite
{
    const char *name;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<Suite> &suites()
{
    static std::vector<Suite> all;
    return all;
}

} // namespace

bool registerSuite(const char *name, std::function<std::unique_ptr<QObject>()> make)
{
    suites().push_back({name, std::move(make)});
    return true;
}

// Runs every suite, or only the one named by QUILLORY_SUITE, passing the
// command line to each (so "-v2" or a test function name work as usual).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray only = qgetenv("QUILLORY_SUITE");
    int failed = 0;
    for (const Suite &suite : suites()) {
        if (!only.isEmpty() && only != suite.name)
            continue;
        const std::unique_ptr<QObject> object = suite.make();
        failed += QTest::qExec(object.get(), argc, argv) != 0 ? 1 : 0;
    }
    return failed;
}
