#include "pdfsettings.h"

#include "utilities.h"

#include "platform/numbertext.h"
#include "platform/systemlog.h"

#include <exception>

namespace folioset {

namespace stored {

bool isMap(const QVariant &value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

int toInt(const QVariant &value)
{
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::QString)
        return leadingInteger(value.toString());
    return value.toInt();
}

bool toBool(const QVariant &value)
{
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes") || text.toInt() != 0;
    }
    return value.toBool();
}

QString toText(const QVariant &value)
{
    if (!value.isValid())
        return QString();
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

QString emptyIfAbsent(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace stored

const QString PDFSettings::openPasswordKey = QStringLiteral("pdfOpenPassword");
const QString PDFSettings::permissionPasswordKey = QStringLiteral("pdfPermissionPassword");

PDFSettings::PDFSettings()
    : m_pdfCreator(Utilities::getAppTitle(QStringLiteral(""))), m_pdfProducer(m_pdfCreator)
{}

int PDFSettings::keyBits() const
{
    if (m_isAESEncryption)
        return 256;
    return m_encryptionStrength == 0 ? 40 : 128;
}

void PDFSettings::setKeyBits(int bits)
{
    m_isAESEncryption = bits >= 256;
    m_encryptionStrength = bits > 40 ? 1 : 0;
}

void PDFSettings::copyFrom(PDFSettings &source)
{
    setData(source.getData());
    m_isAESEncryption = source.m_isAESEncryption;
}

void PDFSettings::fillAbsentTexts()
{
    for (QString *text : {&m_title, &m_subject, &m_author, &m_keywords, &m_pdfOpenPassword,
                          &m_pdfPermissionPassword})
        *text = stored::emptyIfAbsent(*text);
}

QVariantMap PDFSettings::getData()
{
    try {
        fillAbsentTexts();
        return QVariantMap{
            {QStringLiteral("encryptionStrength"), m_encryptionStrength},
            {QStringLiteral("bookmarkType"), m_bookmarkType},
            {QStringLiteral("canCopy"), m_canCopy},
            {QStringLiteral("canPrint"), m_canPrint},
            {QStringLiteral("title"), m_title},
            {QStringLiteral("subject"), m_subject},
            {QStringLiteral("author"), m_author},
            {QStringLiteral("keywords"), m_keywords},
            {openPasswordKey, m_pdfOpenPassword},
            {permissionPasswordKey, m_pdfPermissionPassword},
        };
    } catch (const std::exception &e) {
        logError(QStringLiteral("PDFSettings=>getData"), QString::fromUtf8(e.what()));
        return {};
    }
}

void PDFSettings::setData(const QVariant &data)
{
    if (!stored::isMap(data))
        return;
    try {
        const QVariantMap map = data.toMap();
        m_encryptionStrength = stored::toInt(map.value(QStringLiteral("encryptionStrength")));
        m_bookmarkType = stored::toInt(map.value(QStringLiteral("bookmarkType")));
        m_canCopy = stored::toBool(map.value(QStringLiteral("canCopy")));
        m_canPrint = stored::toBool(map.value(QStringLiteral("canPrint")));
        m_title = stored::toText(map.value(QStringLiteral("title")));
        m_subject = stored::toText(map.value(QStringLiteral("subject")));
        m_author = stored::toText(map.value(QStringLiteral("author")));
        m_keywords = stored::toText(map.value(QStringLiteral("keywords")));
        m_pdfOpenPassword = stored::toText(map.value(openPasswordKey));
        m_pdfPermissionPassword = stored::toText(map.value(permissionPasswordKey));
    } catch (const std::exception &e) {
        logError(QStringLiteral("PDFSettings=>setData:"), QString::fromUtf8(e.what()));
    }
}

} // namespace folioset
