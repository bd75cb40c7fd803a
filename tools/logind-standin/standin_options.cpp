#include "standin_options.h"

#include "real_system_bus.h"

namespace zelto {

const char* const kStandinUsage =
    "Usage: logind-standin [--address ADDRESS] [--log FILE]\n"
    "                      [--refuse METHOD=ERROR_NAME[:MESSAGE]]... [--stall METHOD]...\n"
    "                      [--can ACTION=ANSWER]...\n"
    "Serves org.freedesktop.login1.Manager (PowerOff, Reboot, Hibernate, Suspend and\n"
    "CanPowerOff, CanHibernate, CanSuspend) on a private bus and records each call as a line\n"
    "\"<time> <Method> <interactive>\" (\"<time> <Method> <answer>\" for the Can... methods) on\n"
    "standard output and in FILE, without doing anything else. The bus is ADDRESS, or\n"
    "DBUS_SYSTEM_BUS_ADDRESS when --address is not given; the real system bus is refused.\n"
    "  --refuse  answer METHOD with the D-Bus error ERROR_NAME and MESSAGE\n"
    "  --stall   never answer METHOD, as a hung logind would\n"
    "  --can     let CanACTION (PowerOff, Hibernate, Suspend) answer ANSWER: yes, challenge,\n"
    "            no or na (yes when not given)\n";

namespace {

bool TakeValue(const QStringList& arguments, qsizetype& i, QString& value, QString& error) {
    const QString& option = arguments.at(i);
    if (i + 1 >= arguments.size()) {
        error = option + QStringLiteral(" needs a value");
        return false;
    }
    value = arguments.at(++i);
    return true;
}

bool KnownMethod(const QString& method, QString& error) {
    if (ServedMethods().contains(method)) {
        return true;
    }
    error = QStringLiteral("unknown method \"%1\"; known are %2")
                .arg(method, ServedMethods().join(QStringLiteral(", ")));
    return false;
}

bool KnownAbility(const QString& value, QString& action, QString& answer, QString& error) {
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    action = value.left(equals);
    answer = value.mid(equals + 1);
    const QStringList answers{QStringLiteral("yes"), QStringLiteral("challenge"),
                              QStringLiteral("no"), QStringLiteral("na")};
    if (equals <= 0 || !answers.contains(answer)) {
        error = QStringLiteral("--can wants ACTION=ANSWER with ANSWER one of %1, not \"%2\"")
                    .arg(answers.join(QStringLiteral(", ")), value);
        return false;
    }
    if (!AskableActions().contains(action)) {
        error = QStringLiteral("unknown action \"%1\"; known are %2")
                    .arg(action, AskableActions().join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

}  // namespace

QStringList ServedMethods() {
    return {QStringLiteral("PowerOff"),    QStringLiteral("Reboot"),
            QStringLiteral("Hibernate"),   QStringLiteral("Suspend"),
            QStringLiteral("CanPowerOff"), QStringLiteral("CanHibernate"),
            QStringLiteral("CanSuspend")};
}

QStringList AskableActions() {
    return {QStringLiteral("PowerOff"), QStringLiteral("Hibernate"), QStringLiteral("Suspend")};
}

std::optional<StandinOptions> ParseStandinOptions(const QStringList& arguments,
                                                  const QString& systemBusAddress, QString& error) {
    StandinOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        QString value;
        if (option == QLatin1String("--address")) {
            if (!TakeValue(arguments, i, options.address, error)) {
                return std::nullopt;
            }
        } else if (option == QLatin1String("--log")) {
            if (!TakeValue(arguments, i, options.logPath, error)) {
                return std::nullopt;
            }
        } else if (option == QLatin1String("--refuse")) {
            if (!TakeValue(arguments, i, value, error)) {
                return std::nullopt;
            }
            const qsizetype equals = value.indexOf(QLatin1Char('='));
            if (equals <= 0 || equals + 1 >= value.size()) {
                error = QStringLiteral("--refuse wants METHOD=ERROR_NAME[:MESSAGE], not \"%1\"")
                            .arg(value);
                return std::nullopt;
            }
            const QString method = value.left(equals);
            if (!KnownMethod(method, error)) {
                return std::nullopt;
            }
            // Error names have no colon; the message after the first one may.
            const QString answer = value.mid(equals + 1);
            const qsizetype colon = answer.indexOf(QLatin1Char(':'));
            Refusal refusal{answer.left(colon), colon < 0 ? QString() : answer.mid(colon + 1)};
            if (refusal.message.isEmpty()) {
                refusal.message = QStringLiteral("Refused");
            }
            options.refusals.insert(method, refusal);
        } else if (option == QLatin1String("--stall")) {
            if (!TakeValue(arguments, i, value, error) || !KnownMethod(value, error)) {
                return std::nullopt;
            }
            options.stalls.insert(value);
        } else if (option == QLatin1String("--can")) {
            QString action;
            QString answer;
            if (!TakeValue(arguments, i, value, error) ||
                !KnownAbility(value, action, answer, error)) {
                return std::nullopt;
            }
            options.abilities.insert(action, answer);
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(option);
            return std::nullopt;
        }
    }
    if (options.address.isEmpty()) {
        options.address = systemBusAddress;
    }
    if (options.address.isEmpty()) {
        error = QStringLiteral(
            "no bus given: pass --address or set DBUS_SYSTEM_BUS_ADDRESS to a private bus");
        return std::nullopt;
    }
    if (NamesRealSystemBus(options.address)) {
        error = QStringLiteral("\"%1\" is, or may be, the real system bus; refusing to serve on it")
                    .arg(options.address);
        return std::nullopt;
    }
    return options;
}

}  // namespace zelto
