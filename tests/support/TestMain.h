#pragma once
// Test classes register themselves; one main per folder runs them all.
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace TestMain {
using Factory = std::function<std::unique_ptr<QObject>()>;
int Register(const char* name, Factory f);
}  // namespace TestMain

#define TORVANE_TEST(Class)                                                                                                      \
    static const int torvane_test_registered_##Class = TestMain::Register(#Class,                                                \
                                                                          [] { return std::unique_ptr<QObject>(new Class); });
