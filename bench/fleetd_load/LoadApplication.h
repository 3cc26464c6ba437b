#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>

#include <memory>

// The application of a load run and its command line, read with `options` and --help. Like
// the server, a run holds thousands of sockets, so it takes Qt's plain event dispatcher
// (unless QT_NO_GLIB says otherwise) and is not the bottleneck.
class LoadApplication {
public:
    LoadApplication(int &argc, char **argv, const QList<QCommandLineOption> &options);

    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }

private:
    std::unique_ptr<QCoreApplication> m_app;
    QCommandLineParser m_parser;
};
