#include "logind_manager.h"

namespace zelto {

LogindManager::LogindManager(const StandinOptions& options, CallLog& log, QObject* parent)
    : QObject(parent), options_(options), log_(log) {}

void LogindManager::PowerOff(bool interactive) {
    Answer(QStringLiteral("PowerOff"), interactive);
}
void LogindManager::Reboot(bool interactive) {
    Answer(QStringLiteral("Reboot"), interactive);
}
void LogindManager::Hibernate(bool interactive) {
    Answer(QStringLiteral("Hibernate"), interactive);
}
void LogindManager::Suspend(bool interactive) {
    Answer(QStringLiteral("Suspend"), interactive);
}

void LogindManager::Answer(const QString& method, bool interactive) {
    const QString call =
        method + (interactive ? QStringLiteral(" true") : QStringLiteral(" false"));
    if (const auto refusal = options_.refusals.constFind(method);
        refusal != options_.refusals.constEnd()) {
        // Recorded before answering: whoever waits for the answer may read the log at once.
        log_.Write(call + QStringLiteral(" (refused: ") + refusal->errorName + QLatin1Char(')'));
        sendErrorReply(refusal->errorName, refusal->message);
        return;
    }
    if (options_.stalls.contains(method)) {
        // Taking the reply over and never sending it leaves the caller waiting.
        setDelayedReply(true);
        log_.Write(call + QStringLiteral(" (left unanswered)"));
        return;
    }
    log_.Write(call);
}

}  // namespace zelto
