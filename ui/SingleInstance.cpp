#include "ui/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include "shell/SingleInstance.h"

#ifdef _WIN32
#include <vector>

#include "support/platform/Win32Text.h"
#endif

namespace {

constexpr int kConnectMs = 2000;
// A loaded machine may take a while to schedule the running program's thread.
constexpr int kAnswerMs = 10000;
// A client that says nothing, or too little, is dropped after this.
constexpr int kClientMs = 5000;
// At most this many second starts are read at once; more are turned away.
constexpr int kMaxClients = 8;
constexpr int kLockWaitMs = 15000;

const char kAnswer[] = "ok\n";

QString Name(const std::string& serverName) {
    return QString::fromLocal8Bit(serverName.data(), static_cast<qsizetype>(serverName.size()));
}

#ifdef _WIN32
// The user a process or this one runs as; empty when it cannot be read.
std::vector<unsigned char> ProcessUser(HANDLE process) {
    win32::Handle token;
    DWORD size = 0;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.Out()))
        return {};
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size))
        return {};
    return user;
}

// Pipe names are the whole machine's: one that another user made first must
// not receive this user's paths.
bool ServerIsThisUser(const QLocalSocket& socket) {
    ULONG pid = 0;
    if (!::GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socket.socketDescriptor()), &pid))
        return false;
    const win32::Handle server(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!server)
        return false;
    const std::vector<unsigned char> theirs = ProcessUser(server.Get());
    const std::vector<unsigned char> ours = ProcessUser(::GetCurrentProcess());
    return !theirs.empty() && !ours.empty() &&
           ::EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                      reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid);
}
#endif

} // namespace

InstanceLock::InstanceLock(const std::string& serverName) {
    // A socket path gets its lock beside it; a pipe name in the temporary folder.
    const QString name = Name(serverName);
    const QString path = QDir::isAbsolutePath(name) ? name + QStringLiteral(".lock")
                                                    : QDir::temp().filePath(name + ".lock");
    file_ = std::make_unique<QLockFile>(path);
    // The lock of a program that died is taken over at once (its process is gone).
    locked_ = file_->tryLock(kLockWaitMs);
}

void InstanceLock::Unlock() {
    if (locked_)
        file_->unlock();
    locked_ = false;
}

HandOverResult HandToRunningProgram(const std::string& serverName,
                                    const std::vector<std::string>& paths) {
    QLocalSocket socket;
    socket.connectToServer(Name(serverName));
    if (!socket.waitForConnected(kConnectMs))
        return HandOverResult::NoProgram;
#ifdef _WIN32
    // Another user's pipe: this start runs on its own (and cannot listen).
    if (!ServerIsThisUser(socket))
        return HandOverResult::NoProgram;
    // Only the program in front may bring another one forward: this start
    // is (the user just started it), and the running program is to come up.
    ::AllowSetForegroundWindow(ASFW_ANY);
#endif
    const std::string message = EncodeHandOver(paths);
    socket.write(message.data(), static_cast<qint64>(message.size()));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(kAnswerMs))
            return HandOverResult::NoAnswer;
    QByteArray answer;
    while (answer.size() < static_cast<qsizetype>(sizeof kAnswer - 1)) {
        if (!socket.waitForReadyRead(kAnswerMs))
            break;
        answer += socket.readAll();
    }
    return answer == kAnswer ? HandOverResult::Handed : HandOverResult::NoAnswer;
}

class InstanceWorker : public QObject {
public:
    InstanceWorker(QObject* receiver, InstanceServer::FilesHandler onFiles,
                   InstanceServer::ProblemHandler onProblem)
        : receiver_(receiver), onFiles_(std::move(onFiles)), onProblem_(std::move(onProblem)) {}

    bool Listen(const QString& name, std::string& error) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        server_->setMaxPendingConnections(kMaxClients);
        bool ok = server_->listen(name);
        if (!ok && server_->serverError() == QAbstractSocket::AddressInUseError) {
            // Nobody answered on it (the caller looked first, under the lock):
            // a socket left by a program that crashed.
            QLocalServer::removeServer(name);
            ok = server_->listen(name);
        }
        if (!ok) {
            error = server_->errorString().toStdString();
            return false;
        }
        connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
        return true;
    }

private:
    void Accept() {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            if (clients_ >= kMaxClients) {
                Problem("second start turned away: too many at once");
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++clients_;
            auto reader = std::make_shared<THandOverReader>();
            QPointer<QLocalSocket> guard(socket);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this] { --clients_; });
            connect(socket, &QLocalSocket::readyRead, socket,
                    [this, socket, reader] { Read(*socket, *reader); });
            QTimer::singleShot(kClientMs, socket, [this, guard, reader] {
                if (guard && reader->Status() == THandOverReader::TStatus::NeedMore) {
                    Problem("second start sent no whole message in time");
                    guard->abort();
                }
            });
            if (socket->bytesAvailable() > 0)
                Read(*socket, *reader);
        }
    }

    void Read(QLocalSocket& socket, THandOverReader& reader) {
        if (reader.Status() != THandOverReader::TStatus::NeedMore) {
            socket.readAll();
            return;
        }
        const QByteArray data = socket.readAll();
        switch (reader.Feed(data.constData(), static_cast<std::size_t>(data.size()))) {
        case THandOverReader::TStatus::NeedMore:
            return;
        case THandOverReader::TStatus::Invalid:
            Problem("second start sent something else than a list of paths: " + reader.Error());
            socket.abort();
            return;
        case THandOverReader::TStatus::Done: {
            socket.write(kAnswer, sizeof kAnswer - 1);
            socket.flush();
            // The second start closes once it has read the answer: a Windows
            // pipe closed from this end drops what it has not read yet.
            QPointer<QLocalSocket> guard(&socket);
            QTimer::singleShot(kClientMs, &socket, [guard] {
                if (guard)
                    guard->abort();
            });
            Deliver(reader.Paths());
            return;
        }
        }
    }

    void Deliver(std::vector<std::string> paths) {
        QMetaObject::invokeMethod(
            receiver_, [f = onFiles_, p = std::move(paths)]() mutable { f(std::move(p)); },
            Qt::QueuedConnection);
    }

    void Problem(const std::string& text) {
        QMetaObject::invokeMethod(
            receiver_, [f = onProblem_, text] { f(text); }, Qt::QueuedConnection);
    }

    QObject* receiver_;
    InstanceServer::FilesHandler onFiles_;
    InstanceServer::ProblemHandler onProblem_;
    QLocalServer* server_ = nullptr;
    int clients_ = 0;
};

InstanceServer::InstanceServer(QObject* receiver, FilesHandler onFiles, ProblemHandler onProblem)
    : worker_(new InstanceWorker(receiver, std::move(onFiles), std::move(onProblem))) {
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

InstanceServer::~InstanceServer() {
    thread_.quit();
    thread_.wait();
}

bool InstanceServer::Listen(const std::string& serverName, std::string& error) {
    bool ok = false;
    const QString name = Name(serverName);
    QMetaObject::invokeMethod(
        worker_, [&] { ok = worker_->Listen(name, error); }, Qt::BlockingQueuedConnection);
    return ok;
}
