#pragma once
// Runs the built tovera-cli, or another program, as a user runs it from a shell, for the
// tests of the command.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct Run {
    int status = -1;  // exit code; -1 when the program crashed or did not end in time
    QByteArray bytes; // standard output as written
    QString out;      // standard output read as UTF-8
    QString err;      // standard error read as UTF-8
};

// Runs `program` with `args` and `env` and waits up to two minutes for it to end.
inline Run runProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run run;
    if (!process.waitForFinished(120000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.bytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.bytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Runs the built tovera-cli with `args`.
inline Run cli(const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return runProgram(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli"), args, env);
}
