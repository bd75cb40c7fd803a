#pragma once
// The stand-in's org.freedesktop.login1.Manager: the power methods, which only get recorded
// (and answered, refused or left unanswered as the command line asked).

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

private:
    void Answer(const QString& method, bool interactive);

    const StandinOptions& options_;
    CallLog& log_;
};

}  // namespace zelto
