#pragma once

#include "pdfsettings.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

namespace folioset {

class PasswordKeeper;

// The conversion settings the user keeps between starts: mode, output names and folder, what
// happens after a run, and the document settings. Stored under "SETTINGS" in the preferences;
// the choice of AES beside it under a key of its own, and the passwords in the desktop keyring
// where there is one (see PasswordKeeper).
class Settings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int combineOptionIndex READ combineOptionIndex WRITE setCombineOptionIndex NOTIFY
                   combineOptionIndexChanged)
    Q_PROPERTY(int groupMultiPagePDFCount READ groupMultiPagePDFCount WRITE
                   setGroupMultiPagePDFCount NOTIFY groupMultiPagePDFCountChanged)
    Q_PROPERTY(bool isApplyDocumentSetings READ isApplyDocumentSetings WRITE
                   setIsApplyDocumentSetings NOTIFY isApplyDocumentSetingsChanged)
    Q_PROPERTY(bool isSetCurrentAsDefaultOutputFolderPath READ isSetCurrentAsDefaultOutputFolderPath
                   WRITE setIsSetCurrentAsDefaultOutputFolderPath NOTIFY
                       isSetCurrentAsDefaultOutputFolderPathChanged)
    Q_PROPERTY(bool isOpenFolderAfterConversion READ isOpenFolderAfterConversion WRITE
                   setIsOpenFolderAfterConversion NOTIFY isOpenFolderAfterConversionChanged)
    Q_PROPERTY(QString singleMultiPagePDFName READ singleMultiPagePDFName WRITE
                   setSingleMultiPagePDFName NOTIFY singleMultiPagePDFNameChanged)
    Q_PROPERTY(QString groupMultiPagePDFName READ groupMultiPagePDFName WRITE
                   setGroupMultiPagePDFName NOTIFY groupMultiPagePDFNameChanged)
    Q_PROPERTY(QString outputFolderPath READ outputFolderPath WRITE setOutputFolderPath NOTIFY
                   outputFolderPathChanged)
    Q_PROPERTY(bool isClearProcessedFiles READ isClearProcessedFiles WRITE setIsClearProcessedFiles
                   NOTIFY isClearProcessedFilesChanged)

public:
    enum class Source { Stored, Defaults };

    // Source::Stored loads the stored entry over the defaults; Source::Defaults does not touch
    // the preferences (a run's private copy).
    explicit Settings(Source source = Source::Stored, QObject *parent = nullptr);
    ~Settings() override;

    // A detached record with the same values, absent texts still absent (a run's private copy).
    std::unique_ptr<Settings> copy() const;

    int combineOptionIndex() const { return m_combineOptionIndex; }
    void setCombineOptionIndex(int value);
    int groupMultiPagePDFCount() const { return m_groupMultiPagePDFCount; }
    void setGroupMultiPagePDFCount(int value);
    bool isApplyDocumentSetings() const { return m_isApplyDocumentSetings; }
    void setIsApplyDocumentSetings(bool value);
    bool isSetCurrentAsDefaultOutputFolderPath() const
    {
        return m_isSetCurrentAsDefaultOutputFolderPath;
    }
    void setIsSetCurrentAsDefaultOutputFolderPath(bool value);
    bool isOpenFolderAfterConversion() const { return m_isOpenFolderAfterConversion; }
    void setIsOpenFolderAfterConversion(bool value);
    QString singleMultiPagePDFName() const { return m_singleMultiPagePDFName; }
    void setSingleMultiPagePDFName(const QString &value);
    QString groupMultiPagePDFName() const { return m_groupMultiPagePDFName; }
    void setGroupMultiPagePDFName(const QString &value);
    QString outputFolderPath() const { return m_outputFolderPath; }
    void setOutputFolderPath(const QString &value);
    bool isClearProcessedFiles() const { return m_isClearProcessedFiles; }
    void setIsClearProcessedFiles(bool value);

    // Owned and never replaced: callers may keep the pointer as long as the settings live.
    PDFSettings *pdfSettings() const { return m_pdfSettings.get(); }

    QVariantMap getData();
    void setData(const QVariant &data);
    // Stores getData() under "SETTINGS" and writes the preferences out now; the passwords go to
    // the keyring instead, when it takes them within a moment.
    void synchronize();

    // The stored key of the AES choice.
    static const QString aesEncryptionKey;
    // The stored entry of getData(), and its document settings' key inside it.
    static const QString settingsKey;
    static const QString pdfSettingsKey;

signals:
    void combineOptionIndexChanged();
    void groupMultiPagePDFCountChanged();
    void isApplyDocumentSetingsChanged();
    void isSetCurrentAsDefaultOutputFolderPathChanged();
    void isOpenFolderAfterConversionChanged();
    void singleMultiPagePDFNameChanged();
    void groupMultiPagePDFNameChanged();
    void outputFolderPathChanged();
    void isClearProcessedFilesChanged();
    // The keyring gave the stored passwords after the settings were loaded.
    void passwordsArrived();

private:
    int m_combineOptionIndex = 0;
    int m_groupMultiPagePDFCount = 2;
    bool m_isApplyDocumentSetings = false;
    bool m_isSetCurrentAsDefaultOutputFolderPath = true;
    bool m_isOpenFolderAfterConversion = true;
    QString m_singleMultiPagePDFName = QStringLiteral("");
    QString m_groupMultiPagePDFName = QStringLiteral("");
    QString m_outputFolderPath = QStringLiteral("");
    std::unique_ptr<PDFSettings> m_pdfSettings;
    bool m_isClearProcessedFiles = false;
    std::unique_ptr<PasswordKeeper> m_passwords; // stored settings only
};

} // namespace folioset
