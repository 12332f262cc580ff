#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Each area's test executable runs all of its suites (QObject test classes).
// A suite adds itself with QUILLORY_SUITE(ClassName) in its own file.
bool registerSuite(const char *name, std::function<std::unique_ptr<QObject>()> make);

#define QUILLORY_SUITE(Class) \
    static const bool Class##Registered = registerSuite(#Class, [] { return std::make_unique<Class>(); });
