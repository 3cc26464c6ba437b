// Replays every fuzz target's corpus through its entry: the seeds from the fixtures and each
// crasher the fuzzers found, kept as a regression input. A target that crashes or breaks an
// invariant on one of them aborts this test.
#include "FuzzTarget.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <set>

namespace {

QDir corpusRoot()
{
    return QDir(QStringLiteral(VESK_FUZZ_CORPUS));
}

} // namespace

TEST(FuzzCorpus, EveryTargetHasACorpusAndEveryCorpusATarget)
{
    std::set<QString> targets;
    for (const vesk::fuzz::Target &target : vesk::fuzz::targets())
        targets.insert(QString::fromLatin1(target.name));
    const QStringList folders = corpusRoot().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(std::set<QString>(folders.begin(), folders.end()), targets);
    for (const QString &name : targets)
        EXPECT_FALSE(QDir(corpusRoot().filePath(name)).isEmpty(QDir::Files)) << name.toStdString();
}

TEST(FuzzCorpus, EveryInputRunsThroughItsTarget)
{
    int inputs = 0;
    for (const vesk::fuzz::Target &target : vesk::fuzz::targets()) {
        const QDir folder(corpusRoot().filePath(QString::fromLatin1(target.name)));
        for (const QString &file : folder.entryList(QDir::Files, QDir::Name)) {
            QFile input(folder.filePath(file));
            ASSERT_TRUE(input.open(QIODevice::ReadOnly)) << input.fileName().toStdString();
            SCOPED_TRACE(input.fileName().toStdString());
            target.entry(input.readAll());
            ++inputs;
        }
    }
    // Guards against a corpus path that silently reads nothing.
    EXPECT_GE(inputs, 50);
}
