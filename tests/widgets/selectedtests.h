#pragma once
// For test programs that run several test objects: whether the command line names a test
// function of `object` (true when it names none, so that all objects run).

#include <QMetaMethod>
#include <QObject>

namespace tovera::testing {

inline bool namesFunctionOf(const QObject& object, int argc, char** argv) {
    bool anyNamed = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith('-')) {
            // Options that take a value: skip the value.
            if (arg == "-o" || arg == "-maxwarnings" || arg == "-eventdelay" ||
                arg == "-keydelay" || arg == "-mousedelay" || arg == "-platform")
                ++i;
            continue;
        }
        anyNamed = true;
        const qsizetype colon = arg.indexOf(':');
        const QByteArray name = colon < 0 ? arg : arg.left(colon);
        const QMetaObject* meta = object.metaObject();
        for (int m = meta->methodOffset(); m < meta->methodCount(); ++m)
            if (meta->method(m).name() == name) return true;
    }
    return !anyNamed;
}

} // namespace tovera::testing
