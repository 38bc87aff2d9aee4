#include "support/TestMain.h"

#include <QApplication>
#include <QTest>
#include <cstring>

namespace {
std::vector<std::pair<const char*, TestMain::Factory>>& registry()
{
    static std::vector<std::pair<const char*, TestMain::Factory>> r;
    return r;
}
}  // namespace

int TestMain::Register(const char* name, Factory f)
{
    registry().emplace_back(name, std::move(f));
    return static_cast<int>(registry().size());
}

// Usage: test_x [-class Name] [Qt Test options...]
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* only = nullptr;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-class") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            args.push_back(argv[i]);
    }
    int failed = 0;
    for (const auto& [name, make] : registry()) {
        if (!only || std::strcmp(only, name) == 0) {
            std::unique_ptr<QObject> t = make();
            failed += QTest::qExec(t.get(), static_cast<int>(args.size()), args.data()) != 0 ? 1 : 0;
        }
    }
    return failed;
}
