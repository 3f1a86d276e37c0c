#include "model/settings.h"
#include "model/utilities.h"
#include "platform/edition.h"
#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace folioset;

namespace {
const QString key = QStringLiteral("SETTINGS");

QVariantMap storedSettings()
{
    return Preferences().value(key).toMap();
}

void store(const QVariant &value)
{
    Preferences preferences;
    preferences.setValue(key, value);
    preferences.sync();
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // The store must live in the test area, never in the user's own configuration.
        QVERIFY(Preferences().fileName().contains(QStringLiteral("qttest")));
    }

    void init()
    {
        setEdition(Edition::Folioset2);
        QFile::remove(Preferences().fileName());
    }

    void firstStartGivesDefaults()
    {
        const Settings settings;
        QCOMPARE(settings.combineOptionIndex(), 0);
        QCOMPARE(settings.groupMultiPagePDFCount(), 2);
        QVERIFY(!settings.isApplyDocumentSetings());
        QVERIFY(settings.isSetCurrentAsDefaultOutputFolderPath());
        QVERIFY(settings.isOpenFolderAfterConversion());
        QVERIFY(!settings.isClearProcessedFiles());
        QCOMPARE(settings.singleMultiPagePDFName(), QString());
        QCOMPARE(settings.outputFolderPath(), QString());
        const PDFSettings *pdf = settings.pdfSettings();
        QCOMPARE(pdf->title(), QString());
        QCOMPARE(pdf->pdfOpenPassword(), QString());
        QVERIFY(pdf->canPrint());
        QVERIFY(pdf->canCopy());
        // A new installation proposes AES-256.
        QCOMPARE(pdf->keyBits(), 256);
        QCOMPARE(pdf->bookmarkType(), 0);
        QCOMPARE(pdf->pdfCreator(), Utilities::getAppTitle());
        QCOMPARE(pdf->pdfProducer(), Utilities::getAppTitle());
        QVERIFY(!pdf->pdfCreator().isEmpty());
    }

    void storedDefaultsDropTheKeepFlag()
    {
        Settings().synchronize();
        QVERIFY(QFile::exists(Preferences().fileName()));
        QVERIFY(!Settings().isSetCurrentAsDefaultOutputFolderPath());
    }

    void everyFieldSurvivesARestart()
    {
        {
            Settings settings;
            settings.setCombineOptionIndex(2);
            settings.setGroupMultiPagePDFCount(5);
            settings.setIsApplyDocumentSetings(true);
            settings.setIsOpenFolderAfterConversion(false);
            settings.setIsClearProcessedFiles(true);
            settings.setSingleMultiPagePDFName(QStringLiteral("Book, vol. 1 – «draft»"));
            settings.setGroupMultiPagePDFName(QStringLiteral("part"));
            settings.setOutputFolderPath(QStringLiteral("/Users/a/Out"));
            PDFSettings *pdf = settings.pdfSettings();
            pdf->setEncryptionStrength(1);
            pdf->setBookmarkType(3);
            pdf->setCanPrint(false);
            pdf->setTitle(QStringLiteral("Title = \"quoted\"; semi"));
            pdf->setSubject(QStringLiteral("Ünïcödé ✓"));
            pdf->setAuthor(QStringLiteral("A, B"));
            pdf->setKeywords(QStringLiteral("x\ny"));
            pdf->setPdfOpenPassword(QStringLiteral("open"));
            pdf->setPdfPermissionPassword(QStringLiteral("perm#[]"));
            settings.synchronize();
        }
        const Settings back;
        QCOMPARE(back.combineOptionIndex(), 2);
        QCOMPARE(back.groupMultiPagePDFCount(), 5);
        QVERIFY(back.isApplyDocumentSetings());
        QVERIFY(!back.isOpenFolderAfterConversion());
        QVERIFY(back.isClearProcessedFiles());
        QVERIFY(back.isSetCurrentAsDefaultOutputFolderPath());
        QCOMPARE(back.singleMultiPagePDFName(), QStringLiteral("Book, vol. 1 – «draft»"));
        QCOMPARE(back.groupMultiPagePDFName(), QStringLiteral("part"));
        QCOMPARE(back.outputFolderPath(), QStringLiteral("/Users/a/Out"));
        const PDFSettings *pdf = back.pdfSettings();
        QCOMPARE(pdf->encryptionStrength(), 1);
        QCOMPARE(pdf->bookmarkType(), 3);
        QVERIFY(!pdf->canPrint());
        QVERIFY(pdf->canCopy());
        QCOMPARE(pdf->title(), QStringLiteral("Title = \"quoted\"; semi"));
        QCOMPARE(pdf->subject(), QStringLiteral("Ünïcödé ✓"));
        QCOMPARE(pdf->author(), QStringLiteral("A, B"));
        QCOMPARE(pdf->keywords(), QStringLiteral("x\ny"));
        QCOMPARE(pdf->pdfOpenPassword(), QStringLiteral("open"));
        QCOMPARE(pdf->pdfPermissionPassword(), QStringLiteral("perm#[]"));
    }

    void storedFormIsReadableGroups()
    {
        Settings settings;
        settings.pdfSettings()->setTitle(QStringLiteral("Readable"));
        settings.synchronize();
        QFile file(Preferences().fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[SETTINGS]"));
        QVERIFY(text.contains("combineOptionIndex=0"));
        QVERIFY(text.contains("pdfSettings\\title=Readable"));
        const QVariantMap map = storedSettings();
        QCOMPARE(map.size(), 10);
        QCOMPARE(map.value(QStringLiteral("pdfSettings")).toMap().size(), 10);
    }

    // The AES choice lives beside "SETTINGS": its "encryptionStrength" keeps meaning 40 bits for 0
    // and 128 for anything else, for files of earlier versions and for programs that read them.
    void aesChoiceIsStoredUnderAKeyOfItsOwn_data()
    {
        QTest::addColumn<QVariant>("storedStrength"); // invalid: no "SETTINGS" at all
        QTest::addColumn<QVariant>("storedAes");      // invalid: no key of its own
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("savedStrength");
        QTest::newRow("new installation") << QVariant() << QVariant() << 256 << 1;
        QTest::newRow("earlier version, 40 bits") << QVariant(0) << QVariant() << 40 << 0;
        QTest::newRow("earlier version, 128 bits") << QVariant(1) << QVariant() << 128 << 1;
        QTest::newRow("earlier version, strength 2") << QVariant(2) << QVariant() << 128 << 2;
        QTest::newRow("AES chosen") << QVariant(1) << QVariant(true) << 256 << 1;
        QTest::newRow("AES chosen, then 40 bits")
            << QVariant(0) << QVariant(QStringLiteral("false")) << 40 << 0;
    }
    void aesChoiceIsStoredUnderAKeyOfItsOwn()
    {
        QFETCH(QVariant, storedStrength);
        QFETCH(QVariant, storedAes);
        QFETCH(int, bits);
        QFETCH(int, savedStrength);
        if (storedStrength.isValid()) {
            Settings earlier(Settings::Source::Defaults);
            QVariantMap map = earlier.getData();
            QVariantMap pdf = map.value(QStringLiteral("pdfSettings")).toMap();
            pdf.insert(QStringLiteral("encryptionStrength"), storedStrength);
            map.insert(QStringLiteral("pdfSettings"), pdf);
            store(map);
        }
        if (storedAes.isValid())
            QVERIFY(Preferences().setValue(Settings::aesEncryptionKey, storedAes));

        Settings settings;
        QCOMPARE(settings.pdfSettings()->keyBits(), bits);
        settings.synchronize();
        const QVariantMap pdf = storedSettings().value(QStringLiteral("pdfSettings")).toMap();
        QCOMPARE(pdf.value(QStringLiteral("encryptionStrength")).toInt(), savedStrength);
        QCOMPARE(pdf.size(), 10);
        QCOMPARE(Preferences().value(Settings::aesEncryptionKey).toBool(), bits == 256);
        QCOMPARE(Settings().pdfSettings()->keyBits(), bits);

        // Choosing in the window: RC4 gives up AES, and AES leaves 128 bits to older programs.
        for (const int chosen : {40, 256, 128}) {
            settings.pdfSettings()->setKeyBits(chosen);
            settings.synchronize();
            QCOMPARE(Settings().pdfSettings()->keyBits(), chosen);
            QCOMPARE(storedSettings()
                         .value(QStringLiteral("pdfSettings"))
                         .toMap()
                         .value(QStringLiteral("encryptionStrength"))
                         .toInt(),
                     chosen == 40 ? 0 : 1);
        }
    }

    void outputFolderRule_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("expectedFolder");
        QTest::addColumn<bool>("expectedKeep");
        QTest::newRow("kept") << "/Users/a/Out" << true << "/Users/a/Out" << true;
        QTest::newRow("not kept") << "/Users/a/Out" << false << "" << false;
        QTest::newRow("no folder") << "" << true << "" << false;
    }
    void outputFolderRule()
    {
        QFETCH(QString, folder);
        QFETCH(bool, keep);
        QFETCH(QString, expectedFolder);
        QFETCH(bool, expectedKeep);
        Settings settings(Settings::Source::Defaults);
        QVariantMap map = settings.getData();
        map.insert(QStringLiteral("outputFolderPath"), folder);
        map.insert(QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), keep);
        store(map);
        const Settings back;
        QCOMPARE(back.outputFolderPath(), expectedFolder);
        QCOMPARE(back.isSetCurrentAsDefaultOutputFolderPath(), expectedKeep);
    }

    void missingEntriesReadAsZeroAndNo()
    {
        store(QVariantMap{
            {QStringLiteral("combineOptionIndex"), 1},
            {QStringLiteral("pdfSettings"), QVariantMap{{QStringLiteral("canCopy"), true}}}});
        const Settings back;
        QCOMPARE(back.combineOptionIndex(), 1);
        QCOMPARE(back.groupMultiPagePDFCount(), 0);
        QVERIFY(!back.isOpenFolderAfterConversion());
        QVERIFY(!back.pdfSettings()->canPrint());
        QVERIFY(back.pdfSettings()->canCopy());
        QVERIFY(back.pdfSettings()->title().isNull());
    }

    void settingsThatAreNoMapAreIgnored_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("text") << QVariant(QStringLiteral("garbage"));
        QTest::newRow("list") << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
    }
    void settingsThatAreNoMapAreIgnored()
    {
        QFETCH(QVariant, value);
        store(value);
        const Settings back;
        QCOMPARE(back.groupMultiPagePDFCount(), 2);
        QVERIFY(back.isOpenFolderAfterConversion());
        QVERIFY(back.pdfSettings()->canPrint());
    }

    void getDataFillsAbsentNames()
    {
        Settings settings(Settings::Source::Defaults);
        settings.setData(QVariantMap{{QStringLiteral("combineOptionIndex"), 1}});
        QVERIFY(settings.singleMultiPagePDFName().isNull());
        const QVariantMap map = settings.getData();
        QVERIFY(!settings.singleMultiPagePDFName().isNull());
        QVERIFY(!settings.groupMultiPagePDFName().isNull());
        QCOMPARE(map.value(QStringLiteral("singleMultiPagePDFName")).toString(), QString());
        QVERIFY(map.value(QStringLiteral("singleMultiPagePDFName")).isValid());
    }

    void copyingPdfSettingsLeavesCreatorAlone()
    {
        PDFSettings source;
        source.setTitle(QStringLiteral("T"));
        source.setBookmarkType(2);
        source.setCanCopy(false);
        source.setPdfCreator(QStringLiteral("someone else"));
        PDFSettings target;
        target.setPdfProducer(QStringLiteral("producer"));
        target.setData(source.getData());
        QCOMPARE(target.title(), QStringLiteral("T"));
        QCOMPARE(target.bookmarkType(), 2);
        QVERIFY(!target.canCopy());
        QCOMPARE(target.pdfCreator(), Utilities::getAppTitle());
        QCOMPARE(target.pdfProducer(), QStringLiteral("producer"));
        target.setData(QStringLiteral("not a map"));
        QCOMPARE(target.title(), QStringLiteral("T"));

        // The AES choice is no part of the dictionary form; the sheet's copy carries it.
        source.setKeyBits(256);
        target.setData(source.getData());
        QCOMPARE(target.keyBits(), 128);
        target.copyFrom(source);
        QCOMPARE(target.keyBits(), 256);
        QCOMPARE(target.pdfProducer(), QStringLiteral("producer"));
    }

    void textEntriesReadAsNumbersAndFlags()
    {
        PDFSettings pdf;
        pdf.setData(QVariantMap{{QStringLiteral("encryptionStrength"), QStringLiteral("12")},
                                {QStringLiteral("canPrint"), QStringLiteral("YES")},
                                {QStringLiteral("canCopy"), QStringLiteral("false")}});
        QCOMPARE(pdf.encryptionStrength(), 12);
        QVERIFY(pdf.canPrint());
        QVERIFY(!pdf.canCopy());
    }

    void fieldsAreObservable()
    {
        Settings settings(Settings::Source::Defaults);
        QSignalSpy folder(&settings, &Settings::outputFolderPathChanged);
        QSignalSpy count(&settings, &Settings::groupMultiPagePDFCountChanged);
        settings.setOutputFolderPath(QStringLiteral("/tmp/x"));
        settings.setOutputFolderPath(QStringLiteral("/tmp/x"));
        settings.setProperty("groupMultiPagePDFCount", 4);
        QCOMPARE(folder.size(), 1);
        QCOMPARE(count.size(), 1);
        QCOMPARE(settings.groupMultiPagePDFCount(), 4);
    }

    void editionsKeepSeparateStores()
    {
        Settings second;
        second.setCombineOptionIndex(2);
        second.synchronize();
        setEdition(Edition::Folioset1);
        QFile::remove(Preferences().fileName());
        QCOMPARE(Settings().combineOptionIndex(), 0);
        setEdition(Edition::Folioset2);
        QCOMPARE(Settings().combineOptionIndex(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
