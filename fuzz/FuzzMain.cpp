#include "FuzzTarget.h"

#include <QString>
#include <QtGlobal>

// libFuzzer's entry: each fuzz binary links exactly one target.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Decoders log what they refuse; at millions of inputs that is only noise.
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy, not a raw view: Qt promises a terminating NUL that some decoders rely on.
    const QByteArray input = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    vesk::fuzz::targets().front().entry(input);
    return 0;
}
