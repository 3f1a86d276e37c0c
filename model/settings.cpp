#include "settings.h"

#include "passwordkeeper.h"

#include "platform/preferences.h"
#include "platform/systemlog.h"

#include <exception>

namespace folioset {

namespace {

template <typename T, typename Signal>
void assign(Settings *owner, T &field, const T &value, Signal changed)
{
    // A null and an empty text are different states (absent or empty) but show the same.
    if constexpr (std::is_same_v<T, QString>) {
        if (field == value && field.isNull() == value.isNull())
            return;
    } else if (field == value) {
        return;
    }
    field = value;
    emit(owner->*changed)();
}

} // namespace

const QString Settings::aesEncryptionKey = QStringLiteral("AES256ENCRYPTION");
const QString Settings::settingsKey = QStringLiteral("SETTINGS");
const QString Settings::pdfSettingsKey = QStringLiteral("pdfSettings");

Settings::Settings(Source source, QObject *parent)
    : QObject(parent), m_pdfSettings(std::make_unique<PDFSettings>())
{
    if (source != Source::Stored)
        return;
    const QVariantMap kept = Preferences().values();
    const bool known = kept.contains(settingsKey);
    if (known)
        setData(kept.value(settingsKey));
    // A new installation proposes AES; settings stored before the choice existed keep theirs.
    const QVariant aes = kept.value(aesEncryptionKey);
    if (aes.isValid())
        m_pdfSettings->setIsAESEncryption(stored::toBool(aes));
    else if (!known)
        m_pdfSettings->setKeyBits(256);
    m_passwords = std::make_unique<PasswordKeeper>(*m_pdfSettings);
    connect(m_passwords.get(), &PasswordKeeper::passwordsArrived, this,
            &Settings::passwordsArrived);
    m_passwords->load(kept.value(PasswordKeeper::storedKey));
}

Settings::~Settings() = default;

std::unique_ptr<Settings> Settings::copy() const
{
    auto twin = std::make_unique<Settings>(Source::Defaults);
    twin->m_combineOptionIndex = m_combineOptionIndex;
    twin->m_groupMultiPagePDFCount = m_groupMultiPagePDFCount;
    twin->m_isApplyDocumentSetings = m_isApplyDocumentSetings;
    twin->m_isSetCurrentAsDefaultOutputFolderPath = m_isSetCurrentAsDefaultOutputFolderPath;
    twin->m_isOpenFolderAfterConversion = m_isOpenFolderAfterConversion;
    twin->m_singleMultiPagePDFName = m_singleMultiPagePDFName;
    twin->m_groupMultiPagePDFName = m_groupMultiPagePDFName;
    twin->m_outputFolderPath = m_outputFolderPath;
    *twin->m_pdfSettings = *m_pdfSettings;
    twin->m_isClearProcessedFiles = m_isClearProcessedFiles;
    return twin;
}

void Settings::setCombineOptionIndex(int value)
{
    assign(this, m_combineOptionIndex, value, &Settings::combineOptionIndexChanged);
}

void Settings::setGroupMultiPagePDFCount(int value)
{
    assign(this, m_groupMultiPagePDFCount, value, &Settings::groupMultiPagePDFCountChanged);
}

void Settings::setIsApplyDocumentSetings(bool value)
{
    assign(this, m_isApplyDocumentSetings, value, &Settings::isApplyDocumentSetingsChanged);
}

void Settings::setIsSetCurrentAsDefaultOutputFolderPath(bool value)
{
    assign(this, m_isSetCurrentAsDefaultOutputFolderPath, value,
           &Settings::isSetCurrentAsDefaultOutputFolderPathChanged);
}

void Settings::setIsOpenFolderAfterConversion(bool value)
{
    assign(this, m_isOpenFolderAfterConversion, value,
           &Settings::isOpenFolderAfterConversionChanged);
}

void Settings::setSingleMultiPagePDFName(const QString &value)
{
    assign(this, m_singleMultiPagePDFName, value, &Settings::singleMultiPagePDFNameChanged);
}

void Settings::setGroupMultiPagePDFName(const QString &value)
{
    assign(this, m_groupMultiPagePDFName, value, &Settings::groupMultiPagePDFNameChanged);
}

void Settings::setOutputFolderPath(const QString &value)
{
    assign(this, m_outputFolderPath, value, &Settings::outputFolderPathChanged);
}

void Settings::setIsClearProcessedFiles(bool value)
{
    assign(this, m_isClearProcessedFiles, value, &Settings::isClearProcessedFilesChanged);
}

QVariantMap Settings::getData()
{
    try {
        setSingleMultiPagePDFName(stored::emptyIfAbsent(m_singleMultiPagePDFName));
        setGroupMultiPagePDFName(stored::emptyIfAbsent(m_groupMultiPagePDFName));
        setOutputFolderPath(stored::emptyIfAbsent(m_outputFolderPath));
        return QVariantMap{
            {QStringLiteral("combineOptionIndex"), m_combineOptionIndex},
            {QStringLiteral("groupMultiPagePDFCount"), m_groupMultiPagePDFCount},
            {QStringLiteral("isApplyDocumentSetings"), m_isApplyDocumentSetings},
            {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"),
             m_isSetCurrentAsDefaultOutputFolderPath},
            {QStringLiteral("isOpenFolderAfterConversion"), m_isOpenFolderAfterConversion},
            {QStringLiteral("singleMultiPagePDFName"), m_singleMultiPagePDFName},
            {QStringLiteral("groupMultiPagePDFName"), m_groupMultiPagePDFName},
            {QStringLiteral("outputFolderPath"), m_outputFolderPath},
            {pdfSettingsKey, m_pdfSettings->getData()},
            {QStringLiteral("isClearProcessedFiles"), m_isClearProcessedFiles},
        };
    } catch (const std::exception &e) {
        logError(QStringLiteral("Settings=>getData"), QString::fromUtf8(e.what()));
        return {};
    }
}

void Settings::setData(const QVariant &data)
{
    if (!stored::isMap(data))
        return;
    try {
        const QVariantMap map = data.toMap();
        setCombineOptionIndex(stored::toInt(map.value(QStringLiteral("combineOptionIndex"))));
        setGroupMultiPagePDFCount(
            stored::toInt(map.value(QStringLiteral("groupMultiPagePDFCount"))));
        setIsApplyDocumentSetings(
            stored::toBool(map.value(QStringLiteral("isApplyDocumentSetings"))));
        setIsSetCurrentAsDefaultOutputFolderPath(
            stored::toBool(map.value(QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"))));
        setIsOpenFolderAfterConversion(
            stored::toBool(map.value(QStringLiteral("isOpenFolderAfterConversion"))));
        setSingleMultiPagePDFName(
            stored::toText(map.value(QStringLiteral("singleMultiPagePDFName"))));
        setGroupMultiPagePDFName(
            stored::toText(map.value(QStringLiteral("groupMultiPagePDFName"))));
        setOutputFolderPath(stored::toText(map.value(QStringLiteral("outputFolderPath"))));
        setIsClearProcessedFiles(
            stored::toBool(map.value(QStringLiteral("isClearProcessedFiles"))));
        m_pdfSettings->setData(map.value(pdfSettingsKey));

        // The folder survives only when the user asked to keep it, and the keep flag is never
        // on without a folder.
        if (m_outputFolderPath.isEmpty())
            setIsSetCurrentAsDefaultOutputFolderPath(false);
        else if (!m_isSetCurrentAsDefaultOutputFolderPath)
            setOutputFolderPath(QStringLiteral(""));
    } catch (const std::exception &e) {
        logError(QStringLiteral("Settings=>setData:"), QString::fromUtf8(e.what()));
    }
}

void Settings::synchronize()
{
    try {
        QVariantMap data = getData();
        QVariantMap pdfMap = data.value(pdfSettingsKey).toMap();
        const bool inKeyring = m_passwords && m_passwords->prepareSave(pdfMap);
        if (!data.isEmpty())
            data.insert(pdfSettingsKey, pdfMap);
        QString reason;
        if (!Preferences().setValues({{settingsKey, data},
                                      {aesEncryptionKey, m_pdfSettings->isAESEncryption()},
                                      {PasswordKeeper::storedKey, inKeyring}},
                                     &reason))
            logError(QStringLiteral("Settings=>synchronize"), reason);
    } catch (const std::exception &e) {
        logError(QStringLiteral("Settings=>synchronize"), QString::fromUtf8(e.what()));
    }
}

} // namespace folioset
