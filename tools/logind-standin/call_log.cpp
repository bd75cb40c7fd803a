#include "call_log.h"

#include <QDateTime>

#include <cstdio>

namespace zelto {

CallLog::CallLog(const QString& path) : path_(path), file_(path) {
    if (!path_.isEmpty()) {
        file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }
}

void CallLog::Write(const QString& line) {
    const QByteArray text = (QDateTime::currentDateTime().toString(Qt::ISODateWithMs) +
                             QLatin1Char(' ') + line + QLatin1Char('\n'))
                                .toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fflush(stdout);
    if (file_.isOpen()) {
        file_.write(text);
        file_.flush();
    }
}

}  // namespace zelto
