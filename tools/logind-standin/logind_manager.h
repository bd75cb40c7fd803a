#pragma once
// The stand-in's org.freedesktop.login1.Manager: the power methods, which only get recorded
// (and answered, refused or left unanswered as the command line asked), and the questions
// whether they may be used, answered as the command line says.

#include <QDBusContext>
#include <QObject>

#include "call_log.h"
#include "standin_options.h"

namespace zelto {

class LogindManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    LogindManager(const StandinOptions& options, CallLog& log, QObject* parent = nullptr);

public slots:
    void PowerOff(bool interactive);
    void Reboot(bool interactive);
    void Hibernate(bool interactive);
    void Suspend(bool interactive);
    QString CanPowerOff();
    QString CanHibernate();
    QString CanSuspend();

private:
    void Request(const QString& method, bool interactive);
    QString Ability(const QString& action);
    // Records the call as `call` followed by `answered` and lets it be answered normally,
    // unless the command line has the method refused or stalled: then the call is recorded
    // as such and false returned.
    bool Answer(const QString& method, const QString& call, const QString& answered = {});

    const StandinOptions& options_;
    CallLog& log_;
};

}  // namespace zelto
