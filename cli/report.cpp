#include "report.h"

#include "inputs.h"
#include "outcome.h"

#include <QJsonArray>
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

void Report::addOutput(const QString &path, int pages, qint64 bytes, OutputStatus status,
                       const QStringList &inputs, const QString &detail)
{
    QJsonObject object{{QStringLiteral("kind"), QStringLiteral("output")},
                       {QStringLiteral("path"), path},
                       {QStringLiteral("pages"), pages},
                       {QStringLiteral("bytes"), bytes},
                       {QStringLiteral("status"), QLatin1String(kOutputStatusNames[int(status)])},
                       {QStringLiteral("inputs"), QJsonArray::fromStringList(inputs)}};
    if (!detail.isEmpty())
        object.insert(QStringLiteral("detail"), detail);
    m_lines += line(object);
}

void Report::addFailedInput(const FailedInput &failed)
{
    QJsonObject object = input(failed.path, failed.page, failed.reason);
    if (!failed.detail.isEmpty())
        object.insert(QStringLiteral("detail"), failed.detail);
    m_lines += line(object);
}

void Report::addRejectedPath(const RejectedPath &rejected)
{
    m_lines += line(input(rejected.path, 0, rejected.reason));
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
