#include "LoadApplication.h"

LoadApplication::LoadApplication(int &argc, char **argv, const QList<QCommandLineOption> &options)
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    m_app = std::make_unique<QCoreApplication>(argc, argv);
    m_parser.addHelpOption();
    m_parser.addOptions(options);
    m_parser.process(*m_app);
}
