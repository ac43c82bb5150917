// One program per user and graphical session, over QLocalServer: the first
// start listens, a later one hands its files over and ends. The name and the
// message are the core's (shell/SingleInstance.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QLockFile>
#include <QString>
#include <QThread>

// Held from before a start looks for a running program until it listens
// itself, so two starts at the same moment end with one program.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& serverName);
    bool Locked() const { return locked_; }
    void Unlock();

private:
    std::unique_ptr<QLockFile> file_;
    bool locked_ = false;
};

enum class HandOverResult { NoProgram, Handed, NoAnswer };

// Hands the paths to the program listening on `serverName`.
HandOverResult HandToRunningProgram(const std::string& serverName,
                                    const std::vector<std::string>& paths);

// The running program's end: a local server on a thread of its own, so a
// second start is answered at once even while the window is busy. Paths and
// problems reach the interface thread through `receiver`'s event queue.
class InstanceServer {
public:
    using FilesHandler = std::function<void(std::vector<std::string>)>;
    using ProblemHandler = std::function<void(const std::string&)>;

    InstanceServer(QObject* receiver, FilesHandler onFiles, ProblemHandler onProblem);
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Listens on `serverName`; a socket left by a program that ended without
    // removing it is replaced. False with `error` set when it cannot.
    bool Listen(const std::string& serverName, std::string& error);

private:
    QThread thread_;
    class InstanceWorker* worker_ = nullptr;
};
