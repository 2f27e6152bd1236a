// quorvel-scenario FILE.qvs...: runs each scenario script against the real
// program in a fresh temporary folder and reports PASS or FAIL per file.
#include "tests/runner/qvs_parser.h"
#include "tests/runner/scenario.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void Print(const QString &line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString ScenarioName(const QString &file) {
    QString name = QFileInfo(file).fileName();
    if (name.endsWith(QStringLiteral(".qvs")))
        name.chop(4);
    return name;
}

// Runs one file; returns true when it passed.
bool RunFile(const QString &file, const QString &startFolder) {
    const QString name = ScenarioName(file);
    QTemporaryDir tmp(QDir::temp().filePath(QStringLiteral("quorvel-scenario-XXXXXX")));
    if (!tmp.isValid()) {
        Print(QStringLiteral("FAIL %1:0: cannot create a temporary folder: %2")
                  .arg(name, tmp.errorString()));
        return false;
    }
    const bool keep = qEnvironmentVariableIsSet("QVS_KEEP");
    if (keep)
        tmp.setAutoRemove(false);
    // The folder without a trailing separator, as $DIR stands for it.
    const QString dir = QDir::cleanPath(tmp.path());

    bool passed = false;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        Print(QStringLiteral("FAIL %1:0: cannot read the file: %2").arg(name, f.errorString()));
    } else {
        qvs::ParseError error;
        const std::optional<qvs::Script> script = qvs::Parse(f.readAll(), dir, &error);
        if (!script) {
            Print(QStringLiteral("FAIL %1:%2: %3").arg(name).arg(error.line).arg(error.message));
        } else {
            Scenario::Outcome outcome;
            {
                Scenario scenario(dir, startFolder);
                outcome = scenario.Run(*script);
            }
            passed = outcome.passed;
            if (passed)
                Print(QStringLiteral("PASS %1").arg(name));
            else
                Print(QStringLiteral("FAIL %1:%2: %3")
                          .arg(name)
                          .arg(outcome.line)
                          .arg(outcome.message));
        }
    }
    if (keep)
        std::fprintf(stderr, "%s: files kept in %s\n", name.toUtf8().constData(),
                     dir.toUtf8().constData());
    return passed;
}

} // namespace

int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (files.isEmpty()) {
        std::fputs("usage: quorvel-scenario FILE.qvs...\n", stderr);
        return 2;
    }
    const QString startFolder = QDir::currentPath();
    int passed = 0;
    int failed = 0;
    for (const QString &file : files) {
        if (RunFile(file, startFolder))
            ++passed;
        else
            ++failed;
    }
    Print(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed));
    return failed == 0 ? 0 : 1;
}
