#include "ui/QtToolkit.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

void QtEventPump::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::Pause(int ms) {
    // The job's pauses are documented lengths. Qt's default coarse timer may
    // end up to 5 % early; should anything else end the loop before the
    // deadline, the rest is waited for.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    do {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::max<std::int64_t>(left, 0)), Qt::PreciseTimer,
                           &loop, &QEventLoop::quit);
        loop.exec();
    } while (Clock::now() < deadline);
}

QtDispatcher::QtDispatcher() {
    if (QCoreApplication::instance())
        receiver_.moveToThread(QCoreApplication::instance()->thread());
}

void QtDispatcher::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        &receiver_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

QString QtFilterText(const std::string& entry) {
    auto bar = entry.find('|');
    QString description = Q(entry.substr(0, bar));
    QStringList patterns;
    if (bar != std::string::npos)
        for (const QString& p : Q(entry.substr(bar + 1)).split(';', Qt::SkipEmptyParts))
            patterns << p.trimmed();
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return description + QStringLiteral(" (") + patterns.join(' ') + QStringLiteral(")");
}

bool UseQtFileDialogs() {
    const QByteArray value = qgetenv("VELMORA_QT_DIALOGS");
    return !value.isEmpty() && value != "0";
}

QWidget* QtDialogs::Owner() const {
    // A box owned by a disabled window (the main window during a job) would
    // be disabled too and could not be answered.
    for (QWidget* owner :
         {QApplication::activeModalWidget(), QApplication::activeWindow(), DefaultOwner.data()})
        if (owner && owner->isEnabled())
            return owner;
    return nullptr;
}

bool QtDialogs::MessageBox(const std::string& title, const std::string& text, TMsgKind kind) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case mkError:
        icon = QMessageBox::Critical;
        break;
    case mkWarning:
        icon = QMessageBox::Warning;
        break;
    case mkQuestion:
        icon = QMessageBox::Question;
        break;
    case mkInformation:
        icon = QMessageBox::Information;
        break;
    }
    QMessageBox box(icon, Q(title), Q(text), QMessageBox::Ok, Owner());
    box.setObjectName(QStringLiteral("VelmoraMessageBox"));
    return box.exec() == QMessageBox::Ok;
}

bool QtDialogs::Question(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Yes | QMessageBox::No,
                    Owner());
    box.setObjectName(QStringLiteral("VelmoraQuestionBox"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::Prompt(const std::string& title, const std::string& caption, std::string& value) {
    bool ok = false;
    QString text =
        QInputDialog::getText(Owner(), Q(title), Q(caption), QLineEdit::Normal, Q(value), &ok);
    if (ok)
        value = S(text);
    return ok;
}

bool QtDialogs::OpenFiles(const std::string& title, const std::string& initialDir,
                          const std::vector<std::string>& filters,
                          std::vector<std::string>& files) {
    QStringList qtFilters;
    for (const auto& f : filters)
        qtFilters << QtFilterText(f);
    QFileDialog dialog(Owner(), Q(title), Q(initialDir));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The descriptions already name their patterns; show each text once.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(qtFilters);
    if (!qtFilters.isEmpty())
        dialog.selectNameFilter(qtFilters.first());
    dialog.setOption(QFileDialog::DontUseNativeDialog, UseQtFileDialogs());
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    files.clear();
    // Qt names files with '/' on every system; the program uses its own separator.
    for (const QString& f : dialog.selectedFiles())
        files.push_back(S(QDir::toNativeSeparators(f)));
    return true;
}

bool QtDialogs::BrowseFolder(const std::string& title, std::string& folder) {
    QFileDialog dialog(Owner(), Q(title), Q(folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, UseQtFileDialogs());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    folder = S(QDir::toNativeSeparators(dialog.selectedFiles().first()));
    return true;
}
