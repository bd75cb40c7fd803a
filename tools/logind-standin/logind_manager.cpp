#include "logind_manager.h"

namespace zelto {

LogindManager::LogindManager(const StandinOptions& options, CallLog& log, QObject* parent)
    : QObject(parent), options_(options), log_(log) {}

void LogindManager::PowerOff(bool interactive) {
    Request(QStringLiteral("PowerOff"), interactive);
}
void LogindManager::Reboot(bool interactive) {
    Request(QStringLiteral("Reboot"), interactive);
}
void LogindManager::Hibernate(bool interactive) {
    Request(QStringLiteral("Hibernate"), interactive);
}
void LogindManager::Suspend(bool interactive) {
    Request(QStringLiteral("Suspend"), interactive);
}
QString LogindManager::CanPowerOff() {
    return Ability(QStringLiteral("PowerOff"));
}
QString LogindManager::CanHibernate() {
    return Ability(QStringLiteral("Hibernate"));
}
QString LogindManager::CanSuspend() {
    return Ability(QStringLiteral("Suspend"));
}

void LogindManager::Request(const QString& method, bool interactive) {
    Answer(method, method + (interactive ? QStringLiteral(" true") : QStringLiteral(" false")));
}

QString LogindManager::Ability(const QString& action) {
    const QString method = QStringLiteral("Can") + action;
    const QString answer = options_.abilities.value(action, QStringLiteral("yes"));
    // A refused or stalled call's return value goes nowhere.
    return Answer(method, method, QLatin1Char(' ') + answer) ? answer : QString();
}

bool LogindManager::Answer(const QString& method, const QString& call, const QString& answered) {
    if (const auto refusal = options_.refusals.constFind(method);
        refusal != options_.refusals.constEnd()) {
        // Recorded before answering: whoever waits for the answer may read the log at once.
        log_.Write(call + QStringLiteral(" (refused: ") + refusal->errorName + QLatin1Char(')'));
        sendErrorReply(refusal->errorName, refusal->message);
        return false;
    }
    if (options_.stalls.contains(method)) {
        // Taking the reply over and never sending it leaves the caller waiting.
        setDelayedReply(true);
        log_.Write(call + QStringLiteral(" (left unanswered)"));
        return false;
    }
    log_.Write(call + answered);
    return true;
}

}  // namespace zelto
