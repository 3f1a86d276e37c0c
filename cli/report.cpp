#include "report.h"

#include "inputs.h"
#include "outcome.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace folioset::cli {

namespace {

QByteArray line(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// In the order of the enumerations.
constexpr const char *kOutputStatusNames[] = {"written", "no pages", "failed", "not started"};
constexpr const char *kRunStatusNames[] = {"succeeded", "failed", "stopped"};

QJsonObject input(const QString &path, int page, const QString &reason)
{
    return {{QStringLiteral("kind"), QStringLiteral("input")},
            {QStringLiteral("path"), path},
            {QStringLiteral("page"), page},
            {QStringLiteral("reason"), reason}};
}

} // namespace

void Report::addOutput(const QString &path, int pages, qint64 bytes, OutputStatus status)
{
    m_lines += line({{QStringLiteral("kind"), QStringLiteral("output")},
                     {QStringLiteral("path"), path},
                     {QStringLiteral("pages"), pages},
                     {QStringLiteral("bytes"), bytes},
                     {QStringLiteral("status"), QLatin1String(kOutputStatusNames[int(status)])}});
}

void Report::addFailedInput(const FailedInput &failed)
{
    m_lines += line(input(failed.path, failed.page, failed.reason));
}

void Report::addMissingArgument(const QString &argument)
{
    m_lines += line(input(argument, 0, QStringLiteral("no such file or folder")));
}

void Report::addSkippedEntry(const SkippedEntry &skipped)
{
    QJsonObject object = input(skipped.entry.path, 0, skipped.reason);
    object.insert(QStringLiteral("line"), skipped.entry.line);
    m_lines += line(object);
}

QByteArray Report::text(RunStatus status, const QString &reason) const
{
    QJsonObject run{{QStringLiteral("kind"), QStringLiteral("run")},
                    {QStringLiteral("status"), QLatin1String(kRunStatusNames[int(status)])}};
    if (!reason.isEmpty())
        run.insert(QStringLiteral("reason"), reason);
    return m_lines + line(run);
}

} // namespace folioset::cli
