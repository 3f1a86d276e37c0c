#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace folioset {

// Document settings of the written PDFs: attributes, passwords, rights, key length, bookmarks.
// Text fields may be absent (a null QString), as after reading a stored map that lacks them.
class PDFSettings
{
public:
    PDFSettings();

    // The stored names of the two passwords, which the keyring takes out of the stored map.
    static const QString openPasswordKey;
    static const QString permissionPasswordKey;

    int encryptionStrength() const { return m_encryptionStrength; }
    void setEncryptionStrength(int value) { m_encryptionStrength = value; }
    // AES with a 256-bit key instead of the RC4 key that encryptionStrength names. Kept beside
    // the stored map, never in it, so that "encryptionStrength" keeps its two meanings.
    bool isAESEncryption() const { return m_isAESEncryption; }
    void setIsAESEncryption(bool value) { m_isAESEncryption = value; }
    // The key the written PDFs get: 40 or 128 bits of RC4, or 256 bits of AES.
    int keyBits() const;
    // 40, 128 or 256. Choosing AES also names the 128-bit key in encryptionStrength, which is
    // what a program that knows no AES makes of it.
    void setKeyBits(int bits);
    int bookmarkType() const { return m_bookmarkType; }
    void setBookmarkType(int value) { m_bookmarkType = value; }
    bool canPrint() const { return m_canPrint; }
    void setCanPrint(bool value) { m_canPrint = value; }
    bool canCopy() const { return m_canCopy; }
    void setCanCopy(bool value) { m_canCopy = value; }
    QString title() const { return m_title; }
    void setTitle(const QString &value) { m_title = value; }
    QString subject() const { return m_subject; }
    void setSubject(const QString &value) { m_subject = value; }
    QString author() const { return m_author; }
    void setAuthor(const QString &value) { m_author = value; }
    QString keywords() const { return m_keywords; }
    void setKeywords(const QString &value) { m_keywords = value; }
    QString pdfCreator() const { return m_pdfCreator; }
    void setPdfCreator(const QString &value) { m_pdfCreator = value; }
    QString pdfProducer() const { return m_pdfProducer; }
    void setPdfProducer(const QString &value) { m_pdfProducer = value; }
    QString pdfOpenPassword() const { return m_pdfOpenPassword; }
    void setPdfOpenPassword(const QString &value) { m_pdfOpenPassword = value; }
    QString pdfPermissionPassword() const { return m_pdfPermissionPassword; }
    void setPdfPermissionPassword(const QString &value) { m_pdfPermissionPassword = value; }

    // Turns absent texts into empty ones, in the record itself.
    void fillAbsentTexts();

    // What the PDF settings sheet copies between the settings and its working copy: the stored
    // fields through the dictionary form (so absent texts become empty in `source` too), and the
    // choices kept beside it.
    void copyFrom(PDFSettings &source);

    // The stored map (ten keys; creator and producer are never stored). Absent texts become
    // empty in the record too.
    QVariantMap getData();
    // Takes every stored field from a map: a missing number reads 0, a missing flag NO, a missing
    // text leaves the field absent. Anything but a map changes nothing.
    void setData(const QVariant &data);

private:
    int m_encryptionStrength = 0;
    bool m_isAESEncryption = false;
    int m_bookmarkType = 0;
    bool m_canPrint = true;
    bool m_canCopy = true;
    QString m_title = QStringLiteral("");
    QString m_subject = QStringLiteral("");
    QString m_author = QStringLiteral("");
    QString m_keywords = QStringLiteral("");
    QString m_pdfCreator;
    QString m_pdfProducer;
    QString m_pdfOpenPassword = QStringLiteral("");
    QString m_pdfPermissionPassword = QStringLiteral("");
};

// Reading stored values: numbers and flags may come back as text from the preferences file.
namespace stored {
bool isMap(const QVariant &value);
int toInt(const QVariant &value);
bool toBool(const QVariant &value);
QString toText(const QVariant &value); // null (absent) when the entry is missing
QString emptyIfAbsent(const QString &text);
} // namespace stored

} // namespace folioset
