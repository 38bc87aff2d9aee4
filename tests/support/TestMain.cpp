#include "support/TestMain.h"

#include <QApplication>
#include <QTest>
#include <cstring>

namespace {
struct Entry {
    const char* Name;
    TestMain::Factory Make;
};
std::vector<Entry>& registry()
{
    static std::vector<Entry> r;
    return r;
}
}  // namespace

int TestMain::Register(const char* name, Factory f)
{
    registry().push_back({name, std::move(f)});
    return static_cast<int>(registry().size());
}

// Usage: test_x [-class Name] [Qt Test options...]
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* only = nullptr;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-class") == 0 && i + 1 < argc) {
            only = argv[++i];
            continue;
        }
        args.push_back(argv[i]);
    }
    int failed = 0;
    for (const Entry& e : registry()) {
        if (only && std::strcmp(only, e.Name) != 0)
            continue;
        std::unique_ptr<QObject> t = e.Make();
        failed += QTest::qExec(t.get(), static_cast<int>(args.size()), args.data()) != 0 ? 1 : 0;
    }
    return failed;
}
