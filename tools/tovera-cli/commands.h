#pragma once
// The subcommands of tovera-cli. Each takes the arguments after its own name and returns
// the exit status: 0 done, 1 failed (message on standard error), 2 bad usage.

#include <QStringList>

namespace tovera::cli {

int runPlan(const QStringList& args);  // plan dump | plan render
int runMatch(const QStringList& args); // match NAME PATTERN
int runDb(const QStringList& args);    // db init | db demo | db districts
int runSheet(const QStringList& args); // sheet cells | text | convert | pdf
// The writing and display side of `sheet`, called by runSheet with the arguments after
// the subcommand's name.
int runSheetText(const QStringList& args);    // sheet text FILE
int runSheetConvert(const QStringList& args); // sheet convert IN OUT
int runSheetPdf(const QStringList& args);     // sheet pdf IN OUT.pdf
int runSheetRecalc(const QStringList& args);  // sheet recalc --check FILE...

// Prints `text` and a line end on standard error; returns `status`.
int fail(int status, const QString& text);

// db import ACCESS.mdb STORE | db export STORE OUT.csv | db tables ACCESS.mdb; main()
// sends these three here.
int runDbImport(const QStringList& args);

} // namespace tovera::cli
