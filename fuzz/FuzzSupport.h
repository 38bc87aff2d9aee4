#pragma once
// Shared by the fuzz targets: invariant checks that abort (so libFuzzer keeps the input),
// and seed writing. A target that is run with TORVANE_FUZZ_SEEDS=DIR writes its seed
// inputs into DIR and exits; scripts/fuzz.sh does that before fuzzing, so seeds are made
// by the same builders the tests use and no binary seed files are kept.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#define FUZZ_CHECK(cond)                                                                                                         \
    do {                                                                                                                         \
        if (!(cond)) {                                                                                                           \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);                                   \
            std::abort();                                                                                                        \
        }                                                                                                                        \
    } while (0)

// The folder a target writes its files into, made at the first use and kept for the run.
inline const QTemporaryDir& FuzzFolder()
{
    static const QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    return dir;
}

using FuzzSeeds = std::vector<std::pair<const char*, QByteArray>>;

// Call from LLVMFuzzerInitialize.
template <typename MakeSeeds>
void WriteSeedsIfAsked(MakeSeeds makeSeeds)
{
    const char* dir = std::getenv("TORVANE_FUZZ_SEEDS");
    if (!dir || !*dir)
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    int written = 0;
    for (const auto& [name, bytes] : makeSeeds()) {
        QFile f(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1("seed_") + QString::fromLatin1(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write seed %s\n", name);
            std::exit(1);
        }
        ++written;
    }
    std::fprintf(stderr, "wrote %d seeds to %s\n", written, dir);
    std::exit(0);
}
