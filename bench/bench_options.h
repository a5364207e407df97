#pragma once

// The command line both display benchmarks take:
//   [--dir DIR] [--runs N] [--pg CONNECTION]
// DIR defaults to $ZARN_BENCH_DIR, else /tmp/zarn-bench.
#include "data/errors.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace zarn::bench {

// Reads the options and runs parent(dir, runs, pg), saying an error on
// standard error with exit code 1.
template <class Parent> int runParent(const QCoreApplication &app, Parent parent)
{
    QString dir = qEnvironmentVariable("ZARN_BENCH_DIR", QStringLiteral("/tmp/zarn-bench"));
    QString pg;
    int runs = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir"))
            dir = args[++i];
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--pg"))
            pg = args[++i];
    }
    try {
        return parent(dir, runs, pg);
    } catch (const zarn::Error &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
}

} // namespace zarn::bench
