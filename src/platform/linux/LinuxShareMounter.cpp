#include "platform/linux/LinuxShareMounter.h"

#include "platform/linux/EventWaiter.h"
#include "platform/linux/ShareMountTable.h"

#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcoroabstractsocket.h>
#include <qcoro/qcoroprocess.h>

#include <cerrno>

#include <dirent.h>
#include <unistd.h>

namespace vesk {

namespace {

constexpr int kReaderThreads = 4;
constexpr std::chrono::milliseconds kUnmountLimit{15000};

QList<MountEntry> readMountInfo(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    return parseMountInfo(std::string_view(text.constData(), size_t(text.size())));
}

// Opens the folder and reads one entry: enough to make a remote file system answer.
bool readsDirectory(const QByteArray &path)
{
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return false;
    errno = 0;
    ::readdir(dir);
    const bool ok = errno == 0;
    ::closedir(dir);
    return ok;
}

struct ToolRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray standardError;
};

QCoro::Task<ToolRun> runTool(QString program, QStringList arguments, QProcessEnvironment environment,
                            QByteArray input, std::chrono::milliseconds limit)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.start();
    ToolRun run;
    const bool started = co_await qCoro(process).waitForStarted(limit);
    if (!started) {
        run.finished = true;
        run.standardError = process.errorString().toUtf8();
        co_return run;
    }
    process.write(input);
    process.closeWriteChannel();
    const bool finished = co_await qCoro(process).waitForFinished(limit);
    if (!finished) {
        process.kill();
        const bool reaped = co_await qCoro(process).waitForFinished(std::chrono::milliseconds(5000));
        Q_UNUSED(reaped)
        co_return run;
    }
    run.finished = true;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.standardError = process.readAllStandardError();
    co_return run;
}

QProcessEnvironment toolEnvironment()
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    const QProcessEnvironment ours = QProcessEnvironment::systemEnvironment();
    // gio reaches the user's GVfs daemons over the session bus.
    for (const QString &key : {QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("XDG_RUNTIME_DIR"),
                               QStringLiteral("HOME")}) {
        if (ours.contains(key))
            environment.insert(key, ours.value(key));
    }
    return environment;
}

QString folderNameFor(const ShareMountRequest &request)
{
    QString name = request.host + QLatin1Char('-') + request.shareName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.startsWith(QLatin1Char('.')) ? QLatin1Char('_') + name : name;
}

QString failureFrom(const QByteArray &standardError, int errorNumber)
{
    if (errorNumber != 0)
        return mountFailureText(errorNumber);
    const QString text = QString::fromUtf8(standardError).trimmed().section(QLatin1Char('\n'), -1);
    return text.isEmpty() ? mountFailureText(0) : text;
}

} // namespace

LinuxShareMounter::Options LinuxShareMounter::defaultOptions()
{
    Options options;
    options.kernelMounts = ::geteuid() == 0;
    return options;
}

LinuxShareMounter::LinuxShareMounter(Options options)
    : m_options(std::move(options)), m_readers(std::make_unique<QThreadPool>())
{
    m_readers->setMaxThreadCount(kReaderThreads);
}

LinuxShareMounter::~LinuxShareMounter()
{
    // A read stuck in the kernel never returns; the process must still be able to end.
    if (!m_readers->waitForDone(2000))
        (void)m_readers.release();
}

int LinuxShareMounter::mountErrorNumber(const QByteArray &standardError)
{
    static const QRegularExpression pattern(QStringLiteral("mount error\\((\\d+)\\)"));
    const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(standardError));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QList<MountTableEntry> LinuxShareMounter::mountTable()
{
    const QList<MountEntry> mounts = readMountInfo(m_options.mountInfoPath);
    const QString gvfsRoot = gvfsFuseRoot(mounts);
    // The GVfs folder is served by a local daemon; listing it never waits on a server.
    const QStringList gvfsNames =
        gvfsRoot.isEmpty() ? QStringList() : QDir(gvfsRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return networkShareMounts(mounts, gvfsRoot, gvfsNames);
}

QCoro::Task<bool> LinuxShareMounter::pathResponds(QString path, std::chrono::milliseconds limit)
{
    // Every reader stuck on an earlier dead mount: this one would not answer either.
    if (m_readers->activeThreadCount() >= m_readers->maxThreadCount())
        co_return false;
    QFutureWatcher<bool> watcher;
    EventWaiter done;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &done, &EventWaiter::wake);
    watcher.setFuture(QtConcurrent::run(m_readers.get(), readsDirectory, QFile::encodeName(path)));
    const bool answered = co_await done.wait(limit);
    co_return answered && watcher.future().result();
}

QCoro::Task<bool> LinuxShareMounter::probeHost(QString host, quint16 port, std::chrono::milliseconds limit)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    const bool connected = co_await qCoro(socket).waitForConnected(limit);
    socket.abort();
    co_return connected;
}

QCoro::Task<MountResult> LinuxShareMounter::mountShare(ShareMountRequest request, std::chrono::milliseconds limit)
{
    const QString scheme = request.url.scheme().toLower();
    if (scheme == QLatin1String("afp"))
        co_return MountResult::failed(QStringLiteral("AFP shares have no client on this computer"));
    if (m_options.kernelMounts) {
        MountResult result = co_await kernelMount(std::move(request), limit);
        co_return result;
    }
    MountResult result = co_await gioMount(std::move(request), limit);
    co_return result;
}

QCoro::Task<MountResult> LinuxShareMounter::kernelMount(ShareMountRequest request, std::chrono::milliseconds limit)
{
    const bool nfs = request.url.scheme().toLower() == QLatin1String("nfs");
    const QString mountPoint = m_options.mountRoot + QLatin1Char('/') + folderNameFor(request);
    if (!QDir().mkpath(mountPoint))
        co_return MountResult::failed(mountFailureText(EACCES));
    QProcessEnvironment environment = toolEnvironment();
    QString program;
    QStringList arguments;
    if (nfs) {
        program = QStringLiteral("mount");
        arguments = {QStringLiteral("-t"), QStringLiteral("nfs"), request.host + QLatin1Char(':') + request.url.path(),
                     mountPoint};
        if (request.port != 0)
            arguments << QStringLiteral("-o") << QStringLiteral("port=%1").arg(request.port);
    } else {
        program = QStringLiteral("mount.cifs");
        QStringList options{QStringLiteral("port=%1").arg(request.port ? request.port : 445)};
        if (request.username) {
            environment.insert(QStringLiteral("USER"), *request.username);
            environment.insert(QStringLiteral("PASSWD"), QString::fromUtf8(request.password));
        } else {
            options << QStringLiteral("guest");
        }
        arguments = {QStringLiteral("//") + request.host + QLatin1Char('/') + request.shareName, mountPoint,
                     QStringLiteral("-o"), options.join(QLatin1Char(','))};
    }
    const ToolRun run = co_await runTool(program, arguments, environment, QByteArray(), limit);
    if (!run.finished)
        co_return MountResult::failed(QStringLiteral("Mount timed out"));
    if (run.exitCode != 0) {
        QDir().rmdir(mountPoint);
        co_return MountResult::failed(failureFrom(run.standardError, mountErrorNumber(run.standardError)));
    }
    co_return MountResult::success(mountPoint);
}

QCoro::Task<MountResult> LinuxShareMounter::gioMount(ShareMountRequest request, std::chrono::milliseconds limit)
{
    QUrl url = request.url;
    QStringList arguments{QStringLiteral("mount")};
    QByteArray answers;
    if (request.username) {
        if (request.password.contains('\n') || request.password.contains('\r'))
            co_return MountResult::failed(QStringLiteral("The password holds a line break, which GVfs cannot take"));
        url.setUserName(*request.username);
        // User, domain (the server's default) and password, in the order gio asks.
        answers = request.username->toUtf8() + "\n\n" + request.password + "\n";
    } else {
        arguments << QStringLiteral("--anonymous");
    }
    arguments << url.toString(QUrl::FullyEncoded);
    const QProcessEnvironment environment = toolEnvironment();
    const ToolRun run = co_await runTool(QStringLiteral("gio"), arguments, environment, answers, limit);
    if (!run.finished)
        co_return MountResult::failed(QStringLiteral("Mount timed out"));
    const QString source = QStringLiteral("//") + request.host + QLatin1Char('/') + request.shareName;
    for (const MountTableEntry &entry : mountTable()) {
        if (entry.source.compare(source, Qt::CaseInsensitive) == 0)
            co_return MountResult::success(entry.mountPoint);
    }
    co_return MountResult::failed(failureFrom(run.standardError, 0));
}

QCoro::Task<bool> LinuxShareMounter::forceUnmount(QString mountPoint)
{
    const bool gvfs = mountPoint.contains(QLatin1String("/gvfs/"));
    const QStringList first = gvfs ? QStringList{QStringLiteral("mount"), QStringLiteral("--force"),
                                                 QStringLiteral("--unmount"), mountPoint}
                                   : QStringList{QStringLiteral("-f"), mountPoint};
    const QString program = gvfs ? QStringLiteral("gio") : QStringLiteral("umount");
    const QProcessEnvironment environment = toolEnvironment();
    const ToolRun forced = co_await runTool(program, first, environment, QByteArray(), kUnmountLimit);
    if (forced.finished && forced.exitCode == 0)
        co_return true;
    if (gvfs)
        co_return false;
    // A lazy unmount detaches a mount whose server is gone even while files are open on it.
    // (Arguments built first: g++ 12 mishandles braced lists inside a co_await expression.)
    const QStringList lazyArguments{QStringLiteral("-l"), mountPoint};
    const ToolRun lazy =
        co_await runTool(QStringLiteral("umount"), lazyArguments, environment, QByteArray(), kUnmountLimit);
    co_return lazy.finished && lazy.exitCode == 0;
}

} // namespace vesk
